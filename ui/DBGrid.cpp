#include "ui/DBGrid.h"

#include "ui/ArchiveTableModel.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProxyStyle>

#include <algorithm>
#include <numeric>

namespace orx::ui {

namespace {

constexpr int kMinColumnWidth = 2;
const QColor kGridLineColor(0xC0, 0xC0, 0xC0); // silver

// The application's style with silver grid lines.
class GridStyle : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* ret) const override
    {
        if (hint == SH_Table_GridLineColor)
            return static_cast<int>(kGridLineColor.rgba());
        return QProxyStyle::styleHint(hint, option, widget, ret);
    }
};

QStyle* silverGridStyle()
{
    static GridStyle* style = new GridStyle; // lives for the run, shared by the grids
    return style;
}

} // namespace

QWidget* GridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const
{
    QWidget* w = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        auto* model = qobject_cast<const ArchiveTableModel*>(index.model());
        if (model && model->fieldWidth(index.column()) > 0)
            edit->setMaxLength(model->fieldWidth(index.column()));
        connect(edit, &QLineEdit::textEdited, this, &GridDelegate::typed);
    }
    m_editor = w;
    return w;
}

DBGrid::DBGrid(ArchiveTableModel* model, QWidget* parent)
    : QTableView(parent), m_model(model), m_delegate(new GridDelegate(this))
{
    setStyle(silverGridStyle());
    setModel(model);
    setItemDelegate(m_delegate);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setTabKeyNavigation(false);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);

    // Uniform rows: the view never measures a row.
    QHeaderView* rows = verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(fontMetrics().height() + 6);
    rows->hide();

    QHeaderView* titles = horizontalHeader();
    titles->setSectionsMovable(false);
    titles->setSectionsClickable(true);
    titles->setSectionResizeMode(QHeaderView::Interactive);
    titles->setMinimumSectionSize(kMinColumnWidth);
    titles->setDefaultAlignment(Qt::Alignment::fromInt(Qt::AlignCenter | Qt::TextWordWrap));
    titles->setFixedHeight(2 * fontMetrics().height() + 8); // room for a two-line title
    titles->setSortIndicatorShown(false);
    titles->setHighlightSections(false);
    connect(titles, &QHeaderView::sectionResized, this, &DBGrid::sectionResizedByUser);
    titles->viewport()->installEventFilter(this);

    const auto& cols = model->columns();
    m_design.clear();
    for (const GridColumnDef& c : cols)
        m_design.push_back(c.designWidth);
    m_marks.assign(cols.size(), SortMark::None);
    m_markOrder.assign(cols.size(), 0);
    fitColumns();
}

int DBGrid::fitWidth() const { return std::max(0, viewport()->width()); }

void DBGrid::setDesignWidths(const std::vector<int>& widths)
{
    m_design = widths;
    m_design.resize(m_model->columns().size(), kMinColumnWidth);
    for (int& w : m_design)
        w = std::max(w, kMinColumnWidth);
    fitColumns();
}

void DBGrid::fitColumns()
{
    const int n = static_cast<int>(m_design.size());
    const long long total = std::accumulate(m_design.begin(), m_design.end(), 0LL);
    const int avail = fitWidth();
    if (n == 0 || total <= 0 || avail <= 0)
        return;
    m_fitting = true;
    int used = 0;
    for (int i = 0; i < n; ++i) {
        int w;
        if (i == n - 1)
            w = avail - used; // the last column takes what rounding left
        else
            w = static_cast<int>(static_cast<long long>(m_design[static_cast<std::size_t>(i)]) *
                                 avail / total);
        w = std::max(w, kMinColumnWidth);
        setColumnWidth(i, w);
        used += w;
    }
    m_fitting = false;
}

bool DBGrid::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == horizontalHeader()->viewport() && event->type() == QEvent::MouseButtonPress)
        m_titleModifiers = static_cast<QMouseEvent*>(event)->modifiers();
    return QTableView::eventFilter(watched, event);
}

void DBGrid::resizeEvent(QResizeEvent* event)
{
    QTableView::resizeEvent(event);
    fitColumns();
}

void DBGrid::sectionResizedByUser(int, int, int)
{
    if (m_fitting)
        return;
    // The operator dragged a title edge: the widths as they now stand become
    // the design that later fitting scales.
    for (std::size_t i = 0; i < m_design.size(); ++i)
        m_design[i] = std::max(columnWidth(static_cast<int>(i)), kMinColumnWidth);
}

void DBGrid::setMark(int column, SortMark mark)
{
    std::fill(m_marks.begin(), m_marks.end(), SortMark::None);
    std::fill(m_markOrder.begin(), m_markOrder.end(), 0);
    QHeaderView* titles = horizontalHeader();
    if (mark == SortMark::None || column < 0) {
        titles->setSortIndicatorShown(false);
        return;
    }
    m_marks.at(static_cast<std::size_t>(column)) = mark;
    m_markOrder[static_cast<std::size_t>(column)] = 1;
    titles->setSortIndicatorShown(true);
    // "Up" names a descending order, drawn as an arrow pointing up.
    titles->setSortIndicator(column, mark == SortMark::Up ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void DBGrid::clearMarks() { setMark(-1, SortMark::None); }

int DBGrid::columnOfField(const std::string& field) const
{
    const auto& cols = m_model->columns();
    for (std::size_t i = 0; i < cols.size(); ++i)
        if (cols[i].field == field)
            return static_cast<int>(i);
    return -1;
}

std::vector<ColumnLayout> DBGrid::columnLayouts() const
{
    std::vector<ColumnLayout> out;
    const auto& cols = m_model->columns();
    for (std::size_t i = 0; i < cols.size(); ++i) {
        ColumnLayout c;
        c.field = cols[i].field;
        c.width = m_design[i];
        c.level = 0;
        c.index = static_cast<int>(i);
        c.mark = m_marks[i];
        c.sortOrder = m_markOrder[i];
        c.footer = 0;
        c.options = 1; // the title wraps to two lines
        c.color = palette().color(QPalette::Base).name().toStdString();
        c.align = m_model->columnAlign(static_cast<int>(i));
        c.font = font().toString().toStdString();
        out.push_back(std::move(c));
    }
    return out;
}

void DBGrid::applyColumnLayout(const ColumnLayout& layout, int column)
{
    if (column < 0 || column >= static_cast<int>(m_design.size()))
        return;
    const auto i = static_cast<std::size_t>(column);
    m_design[i] = std::max(layout.width, kMinColumnWidth);
    m_model->setColumnAlign(column, layout.align);
    // Sort marks start at none in a new session: no sort is in force yet.
    fitColumns();
}

void DBGrid::finishEdit(bool keep)
{
    QWidget* editor = m_delegate->openEditor();
    if (!editor || state() != QAbstractItemView::EditingState)
        return;
    if (keep)
        Q_EMIT m_delegate->commitData(editor);
    Q_EMIT m_delegate->closeEditor(editor, QAbstractItemDelegate::NoHint);
}

} // namespace orx::ui
