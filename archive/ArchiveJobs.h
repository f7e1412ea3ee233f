#pragma once

// The two ways a downloaded archive reaches a table file, shared by the
// program's commands and orx-cli.

#include <cstdint>
#include <string>

namespace orx {

class ArchiveImage;
class ArchiveTable;

// "Создать": replaces the file at path with a new table, opens it into table
// and decodes every record. Returns the record-count total (0: empty archive;
// the empty table stays on disk, open).
std::uint64_t createTableFromArchive(ArchiveTable& table, const std::string& path,
                                     const ArchiveImage& image);

// "Дополнить": on an open table, drops the sort order, decodes the records
// later than the stored ones and saves the table. Returns the total.
std::uint64_t appendArchiveToTable(ArchiveTable& table, const ArchiveImage& image);

// Puts the table on disk by closing and opening it again.
void saveTable(ArchiveTable& table);

} // namespace orx
