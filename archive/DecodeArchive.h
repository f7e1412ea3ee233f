#pragma once

// Turns the archive image into rows of an open archive table: every record in
// a new table, or in append mode only the records later than the newest
// stored reading of each block.

#include <cstdint>
#include <optional>

namespace orx {

class ArchiveImage;
class ArchiveTable;

enum class DecodeMode { New, Append };

// Returns the total of every block count read (a header is counted once for
// each observation number it is offered to); zero means an empty archive.
// Returns nothing, and changes nothing, when the table is not open.
// Throws ArchiveError (conversion) when a stored reference date and time do
// not parse; StorageError when the table fails. Rows posted before stay.
std::optional<std::uint64_t> DecodeArchive(ArchiveTable& table, const ArchiveImage& image,
                                           DecodeMode mode);

} // namespace orx
