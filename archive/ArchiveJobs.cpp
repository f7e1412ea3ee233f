#include "archive/ArchiveJobs.h"

#include "archive/DecodeArchive.h"
#include "storage/ArchiveTable.h"

namespace orx {

std::uint64_t createTableFromArchive(ArchiveTable& table, const std::string& path,
                                     const ArchiveImage& image)
{
    if (table.isOpen())
        table.close();
    ArchiveTable::create(path);
    table.open(path);
    return DecodeArchive(table, image, DecodeMode::New).value_or(0);
}

std::uint64_t appendArchiveToTable(ArchiveTable& table, const ArchiveImage& image)
{
    table.clearSortOrder();
    const std::uint64_t total = DecodeArchive(table, image, DecodeMode::Append).value_or(0);
    saveTable(table);
    return total;
}

void saveTable(ArchiveTable& table)
{
    const std::string path = table.path();
    table.close();
    table.open(path);
}

} // namespace orx
