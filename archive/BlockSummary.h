#pragma once

// The summary of one block (a tab) of an archive table: how many rows, the
// first and last reading in time, and the lowest, mean and highest
// temperature. Stored texts that do not parse are counted and the first one
// is named, never guessed at. Built in steps, so a window can spread a
// million rows over many short turns of its event loop.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orx {

class ArchiveTable;

struct BlockSummary
{
    int block = 0;
    std::size_t rows = 0;
    // First and last reading: the texts as stored, "DD.MM.YYYY HH:MM[:SS]".
    std::string first;
    std::string last;
    std::optional<double> minimum, mean, maximum; // over the temperatures that parse
    std::size_t badMoments = 0;      // date and time texts that do not parse
    std::size_t badTemperatures = 0; // temperature texts that do not parse
    std::string firstBad;            // the first text that did not parse
};

class BlockSummaryBuilder
{
public:
    // Takes the rows of the block in file order; the table's filter, order and
    // current row are not touched.
    BlockSummaryBuilder(const ArchiveTable& table, int block);
    // Reads up to maxRows more rows; true once every row is read.
    bool step(std::size_t maxRows);
    bool done() const { return m_next >= m_records.size(); }
    BlockSummary result() const;

private:
    const ArchiveTable& m_table;
    int m_dateField, m_timeField, m_temperatureField;
    std::vector<std::uint32_t> m_records;
    std::size_t m_next = 0;
    BlockSummary m_summary;
    std::int64_t m_firstMoment = 0, m_lastMoment = 0;
    bool m_haveMoment = false;
    double m_sum = 0;
    std::size_t m_temperatures = 0;
};

// The whole summary at once, for scripts.
BlockSummary summarizeBlock(const ArchiveTable& table, int block);

// "NN rows, DATE TIME … DATE TIME, min …, mean …, max …" with the decimal comma.
std::string formatTemperature(double celsius);

} // namespace orx
