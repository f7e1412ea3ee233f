#pragma once

// The data grid of a tab: a table view over one tab's model with whole-row
// selection (Ctrl and Shift), titles of up to two lines, silver grid lines,
// uniform row heights, and column widths scaled from design widths to fill
// the grid. Editable cells are edited in place.

#include "ui/GridLayoutText.h"

#include <QPointer>
#include <QStyledItemDelegate>
#include <QTableView>

#include <vector>

namespace orx::ui {

class ArchiveTableModel;

// Creates the in-place editors and remembers the open one, so that a save
// can finish the edit keeping what was typed.
class GridDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    QWidget* openEditor() const { return m_editor; }

Q_SIGNALS:
    // The operator typed into an open editor.
    void typed();

private:
    mutable QPointer<QWidget> m_editor;
};

class DBGrid : public QTableView
{
    Q_OBJECT
public:
    DBGrid(ArchiveTableModel* model, QWidget* parent = nullptr);

    ArchiveTableModel* archiveModel() const { return m_model; }
    GridDelegate* gridDelegate() const { return m_delegate; }

    // Design widths, scaled to fill the grid's width.
    const std::vector<int>& designWidths() const { return m_design; }
    void setDesignWidths(const std::vector<int>& widths);
    // Fits the columns to the grid now.
    void fitColumns();
    // The grid's width available to columns.
    int fitWidth() const;

    SortMark mark(int column) const { return m_marks.at(static_cast<std::size_t>(column)); }
    void setMark(int column, SortMark mark);
    void clearMarks();

    // The stored layout of every column, and back.
    std::vector<ColumnLayout> columnLayouts() const;
    void applyColumnLayout(const ColumnLayout& layout, int column);
    int columnOfField(const std::string& field) const;

    // Ends an edit in progress: keep=true hands the typed text to the model.
    void finishEdit(bool keep);

    // The keys held at the last press on a column title (Ctrl clears a mark).
    Qt::KeyboardModifiers titleClickModifiers() const { return m_titleModifiers; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void sectionResizedByUser(int logical, int oldSize, int newSize);

    ArchiveTableModel* m_model;
    GridDelegate* m_delegate;
    std::vector<int> m_design;
    std::vector<SortMark> m_marks;
    std::vector<int> m_markOrder;
    bool m_fitting = false;
    Qt::KeyboardModifiers m_titleModifiers;
};

} // namespace orx::ui
