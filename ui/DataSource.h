#pragma once

// DataSource1: the one table that all 21 grids look at. Whoever changes
// which rows are visible or their order (open, close, filter, sort, delete,
// append) calls rowsChanged(), and every grid reads its rows afresh.

#include <QObject>

#include <cstddef>

namespace orx {
class ArchiveTable;
}

namespace orx::ui {

class DataSource : public QObject
{
    Q_OBJECT
public:
    explicit DataSource(ArchiveTable& table, QObject* parent = nullptr);

    ArchiveTable& table() const { return m_table; }
    void rowsChanged();

    // A typed change sits in the row buffer and is not yet posted.
    bool editing() const;
    // Puts a row edit in progress into the table; nothing when none is.
    // Throws StorageError when the write fails (the change stays unposted).
    void post();
    // Drops a row edit in progress.
    void cancel();

Q_SIGNALS:
    void aboutToChangeRows();
    void rowsReset();
    // A grid wrote a typed value into the row buffer.
    void edited();
    // The row buffer was posted or dropped.
    void editFinished();
    // A grid's write into the table failed; the text is the table's.
    void failed(const QString& text);

private:
    ArchiveTable& m_table;
};

} // namespace orx::ui
