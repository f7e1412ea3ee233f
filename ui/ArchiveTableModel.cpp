#include "ui/ArchiveTableModel.h"

#include "archive/Cp1251.h"
#include "storage/ArchiveTable.h"
#include "ui/DataSource.h"

namespace orx::ui {

QString fromTableText(const std::string& cp1251)
{
    return QString::fromStdString(cp1251ToUtf8(cp1251));
}

std::string toTableText(const QString& text) { return utf8ToCp1251(text.toStdString()); }

namespace {
Qt::Alignment qtAlign(ColumnAlign a)
{
    switch (a) {
    case ColumnAlign::Right:
        return Qt::AlignRight | Qt::AlignVCenter;
    case ColumnAlign::Center:
        return Qt::AlignHCenter | Qt::AlignVCenter;
    case ColumnAlign::Left:
        break;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}
} // namespace

ArchiveTableModel::ArchiveTableModel(DataSource& source, int tab, QObject* parent)
    : QAbstractTableModel(parent), m_source(source), m_tab(tab), m_columns(tabColumns(tab))
{
    connect(&m_source, &DataSource::aboutToChangeRows, this,
            &ArchiveTableModel::beginResetModel);
    connect(&m_source, &DataSource::rowsReset, this, [this] {
        resolveFields();
        endResetModel();
    });
    for (const GridColumnDef& c : m_columns)
        m_aligns.push_back(c.align);
    resolveFields();
}

void ArchiveTableModel::setColumnAlign(int column, ColumnAlign align)
{
    m_aligns.at(static_cast<std::size_t>(column)) = align;
    Q_EMIT dataChanged(index(0, column), index(std::max(0, rowCount() - 1), column),
                       {Qt::TextAlignmentRole});
}

void ArchiveTableModel::resolveFields()
{
    m_fields.assign(m_columns.size(), -1);
    ArchiveTable& t = m_source.table();
    if (!t.isOpen())
        return;
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        try {
            m_fields[i] = t.fieldIndex(m_columns[i].field);
        } catch (const std::exception&) {
            m_fields[i] = -1;
        }
    }
}

int ArchiveTableModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !m_source.table().isOpen())
        return 0;
    return static_cast<int>(m_source.table().countVisible());
}

int ArchiveTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

int ArchiveTableModel::fieldWidth(int column) const
{
    const int f = m_fields.at(static_cast<std::size_t>(column));
    return f < 0 ? 0 : m_source.table().fieldWidth(f);
}

QString ArchiveTableModel::cellText(int row, int column) const
{
    ArchiveTable& t = m_source.table();
    const int f = m_fields[static_cast<std::size_t>(column)];
    if (f < 0 || !t.isOpen() || row < 0 || static_cast<std::size_t>(row) >= t.countVisible())
        return {};
    const std::uint32_t record = t.recordAtPosition(static_cast<std::size_t>(row));
    // The row being edited shows what was typed into it.
    if (t.state() == ArchiveTable::State::Editing && t.currentRecord() == record)
        return fromTableText(t.readText(f));
    return fromTableText(t.readTextAt(record, f));
}

QVariant ArchiveTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        try {
            return cellText(index.row(), index.column());
        } catch (const std::exception&) {
            return {}; // a read that fails shows an empty cell; the next command reports it
        }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(qtAlign(m_aligns[static_cast<std::size_t>(index.column())]));
    default:
        return {};
    }
}

QVariant ArchiveTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 ||
        section >= static_cast<int>(m_columns.size()))
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return QString::fromStdString(m_columns[static_cast<std::size_t>(section)].title);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment::fromInt(Qt::AlignCenter | Qt::TextWordWrap));
    return {};
}

Qt::ItemFlags ArchiveTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    if (m_columns[static_cast<std::size_t>(index.column())].editable)
        f |= Qt::ItemIsEditable;
    return f;
}

bool ArchiveTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    ArchiveTable& t = m_source.table();
    if (role != Qt::EditRole || !index.isValid() || !t.isOpen() ||
        !(flags(index) & Qt::ItemIsEditable))
        return false;
    const int f = m_fields[static_cast<std::size_t>(index.column())];
    if (f < 0 || static_cast<std::size_t>(index.row()) >= t.countVisible())
        return false;
    if (cellText(index.row(), index.column()) == value.toString())
        return true; // nothing typed that changes the cell
    try {
        const std::uint32_t record = t.recordAtPosition(static_cast<std::size_t>(index.row()));
        std::size_t position = static_cast<std::size_t>(index.row());
        if (t.state() == ArchiveTable::State::Editing && t.currentRecord() != record) {
            m_source.post(); // the row edited before was left
            // A sorted post may have moved rows: find this one again.
            for (position = 0; position < t.countVisible(); ++position)
                if (t.recordAtPosition(position) == record)
                    break;
            if (position == t.countVisible())
                return false;
        }
        if (t.state() != ArchiveTable::State::Editing) {
            t.moveToPosition(position);
            t.edit();
        }
        t.writeText(f, toTableText(value.toString()));
    } catch (const std::exception& e) {
        Q_EMIT m_source.failed(QString::fromStdString(e.what()));
        return false;
    }
    Q_EMIT dataChanged(index.siblingAtColumn(0), index.siblingAtColumn(columnCount() - 1));
    Q_EMIT m_source.edited();
    return true;
}

} // namespace orx::ui
