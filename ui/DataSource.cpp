#include "ui/DataSource.h"

#include "storage/ArchiveTable.h"

namespace orx::ui {

DataSource::DataSource(ArchiveTable& table, QObject* parent) : QObject(parent), m_table(table) {}

void DataSource::rowsChanged()
{
    Q_EMIT aboutToChangeRows();
    Q_EMIT rowsReset();
}

bool DataSource::editing() const
{
    return m_table.isOpen() && m_table.state() != ArchiveTable::State::Browsing;
}

void DataSource::post()
{
    if (!editing())
        return;
    const bool sorted = !m_table.indexName().empty();
    m_table.post();
    Q_EMIT editFinished();
    // A changed key may move the row in a sorted order.
    if (sorted)
        rowsChanged();
}

void DataSource::cancel()
{
    if (!editing())
        return;
    m_table.cancel();
    Q_EMIT editFinished();
    rowsChanged();
}

} // namespace orx::ui
