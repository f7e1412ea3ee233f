#include "archive/RecordModel.h"

#include <unordered_map>

namespace orx {
namespace {

struct FieldRule
{
    const char* prefix;
    int width;
};

// Observation columns are these prefixes followed by k without leading zeros.
constexpr FieldRule kObsRules[kObsFieldCount] = {
    {"NN", kWidthObsSeq},          {"DATEN", kWidthObsDate},   {"TIMEN", kWidthObsTime},
    {"INTN", kWidthObsDuration},   {"PERN", kWidthObsPeriod},  {"TN", kWidthObsTemperature},
};

std::vector<ColumnDef> buildColumns()
{
    std::vector<ColumnDef> cols;
    cols.reserve(kArchiveColumnCount);
    int offset = kRecordFlagLength;
    auto add = [&](std::string name, int width, int block) {
        cols.push_back({std::move(name), width, offset, block});
        offset += width;
    };
    add(kColNo, kWidthNo, kOperationalBlock);
    add(kColModule, kWidthModule, kOperationalBlock);
    add(kColSensor, kWidthSensor, kOperationalBlock);
    add(kColDate, kWidthDate, kOperationalBlock);
    add(kColTime, kWidthTime, kOperationalBlock);
    add(kColTemperature, kWidthTemperature, kOperationalBlock);
    for (int k = 1; k <= kObservationCount; ++k) {
        for (const FieldRule& rule : kObsRules)
            add(rule.prefix + std::to_string(k), rule.width, k);
        if (k == kCommentAfterObservation)
            add(kColComment, kWidthComment, kNoBlock);
    }
    add(kColType, kWidthType, kAllObservations);
    return cols;
}

const std::unordered_map<std::string_view, int>& columnIndex()
{
    static const std::unordered_map<std::string_view, int> index = [] {
        std::unordered_map<std::string_view, int> m;
        const auto& cols = archiveColumns();
        for (int i = 0; i < static_cast<int>(cols.size()); ++i)
            m.emplace(cols[i].name, i);
        return m;
    }();
    return index;
}

} // namespace

const std::vector<ColumnDef>& archiveColumns()
{
    static const std::vector<ColumnDef> cols = buildColumns();
    return cols;
}

int findArchiveColumn(std::string_view name)
{
    const auto& index = columnIndex();
    auto it = index.find(name);
    return it == index.end() ? -1 : it->second;
}

std::string sequenceColumn(int block)
{
    return block == kOperationalBlock ? std::string(kColNo) : observationColumn(block, ObsField::Seq);
}

std::string observationColumn(int k, ObsField field)
{
    return kObsRules[static_cast<int>(field)].prefix + std::to_string(k);
}

const std::vector<std::string>& operationalColumns()
{
    static const std::vector<std::string> cols = {kColNo,   kColModule, kColSensor,
                                                  kColDate, kColTime,   kColTemperature};
    return cols;
}

std::vector<std::string> blockColumns(int block)
{
    if (block == kOperationalBlock)
        return operationalColumns();
    std::vector<std::string> cols;
    for (int f = 0; f < kObsFieldCount; ++f)
        cols.push_back(observationColumn(block, static_cast<ObsField>(f)));
    cols.push_back(kColType);
    return cols;
}

} // namespace orx
