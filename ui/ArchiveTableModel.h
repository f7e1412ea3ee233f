#pragma once

// The model of one tab's grid: the table's visible rows, read on demand by
// row and column through the one table, in its current filter and order.
// It keeps nothing per row, so a million rows cost nothing here.

#include "ui/TabColumns.h"

#include <QAbstractTableModel>

#include <vector>

namespace orx::ui {

class DataSource;

class ArchiveTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    ArchiveTableModel(DataSource& source, int tab, QObject* parent = nullptr);

    int tab() const { return m_tab; }
    const std::vector<GridColumnDef>& columns() const { return m_columns; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Writes the typed text into the row buffer; it is posted when the row is left.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    void setColumnAlign(int column, ColumnAlign align);
    ColumnAlign columnAlign(int column) const { return m_aligns.at(static_cast<std::size_t>(column)); }

    // The width of a column in characters, for the editor.
    int fieldWidth(int column) const;

private:
    void resolveFields();
    QString cellText(int row, int column) const;

    DataSource& m_source;
    int m_tab;
    const std::vector<GridColumnDef>& m_columns;
    std::vector<int> m_fields; // field index in the open table per column
    std::vector<ColumnAlign> m_aligns;
};

// Table bytes (Windows-1251) to text and back.
QString fromTableText(const std::string& cp1251);
std::string toTableText(const QString& text);

} // namespace orx::ui
