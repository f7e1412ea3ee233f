#pragma once

// The 128 character columns of an archive table, in table order, with their
// widths and offsets inside a record, and the blocks they belong to.

#include <string>
#include <string_view>
#include <vector>

namespace orx {

constexpr int kObservationCount = 20;
constexpr int kBlockCount = kObservationCount + 1; // block 0 is the operational block
constexpr int kOperationalBlock = 0;
constexpr int kArchiveColumnCount = 128;
constexpr int kRecordFlagLength = 1;
constexpr int kRecordDataLength = 760;
constexpr int kRecordLength = kRecordFlagLength + kRecordDataLength;

// Marks of a column that belongs to no block or to all observations.
constexpr int kNoBlock = -1;
constexpr int kAllObservations = -2;

// Operational column names.
inline constexpr const char* kColNo = "NO";
inline constexpr const char* kColModule = "ID_MO";
inline constexpr const char* kColSensor = "NO_DO";
inline constexpr const char* kColDate = "DATEO";
inline constexpr const char* kColTime = "TIMEO";
inline constexpr const char* kColTemperature = "TO";
inline constexpr const char* kColComment = "COMMENTN14";
inline constexpr const char* kColType = "TYPE";

// The six columns of one observation, in table order.
enum class ObsField { Seq, Date, Time, Duration, Period, Temperature };
constexpr int kObsFieldCount = 6;

// The observation after whose columns COMMENTN14 stands.
constexpr int kCommentAfterObservation = 14;

// Column widths.
constexpr int kWidthNo = 4;
constexpr int kWidthModule = 11;
constexpr int kWidthSensor = 2;
constexpr int kWidthDate = 10;
constexpr int kWidthTime = 8;
constexpr int kWidthTemperature = 5;
constexpr int kWidthObsSeq = 4;
constexpr int kWidthObsDate = 10;
constexpr int kWidthObsTime = 6;
constexpr int kWidthObsDuration = 3;
constexpr int kWidthObsPeriod = 3;
constexpr int kWidthObsTemperature = 5;
constexpr int kWidthComment = 50;
constexpr int kWidthType = 50;

struct ColumnDef
{
    std::string name;
    int width = 0;
    int offset = 0; // inside the record; offset 0 is the deletion flag
    int block = kNoBlock; // 0 operational, k observation k, or a mark above
};

// All 128 columns in table order.
const std::vector<ColumnDef>& archiveColumns();

// Position of a column in table order, or -1 when the name is not one of the 128.
int findArchiveColumn(std::string_view name);

// "NO" for block 0, "NNk" for observation k.
std::string sequenceColumn(int block);

// The name of one column of observation k (1..20).
std::string observationColumn(int k, ObsField field);

// A block's own columns in table order, as a tab shows them:
// block 0: NO, ID_MO, NO_DO, DATEO, TIMEO, TO; block k: its six columns and TYPE.
std::vector<std::string> blockColumns(int block);

// The operational columns of a block-0 row.
const std::vector<std::string>& operationalColumns();

} // namespace orx
