#include "ui/TabColumns.h"

#include "archive/RecordModel.h"

#include <array>

namespace orx::ui {

namespace {

std::vector<GridColumnDef> operationalGrid()
{
    return {
        {kColNo, "N", 61, ColumnAlign::Right, false},
        {kColDate, "Дата", 108, ColumnAlign::Center, false},
        {kColTime, "Время", 99, ColumnAlign::Center, false},
        {kColModule, "Тип модуля", 117, ColumnAlign::Right, false},
        {kColSensor, "Тип и № модуля", 146, ColumnAlign::Center, false},
        {kColTemperature, "T, C", 146, ColumnAlign::Center, true}, // Latin T and C
    };
}

std::vector<GridColumnDef> observationGrid(int k)
{
    return {
        {observationColumn(k, ObsField::Seq), "N", 70, ColumnAlign::Right, false},
        {observationColumn(k, ObsField::Date), "Дата", 92, ColumnAlign::Center, false},
        {observationColumn(k, ObsField::Time), "Время", 89, ColumnAlign::Center, false},
        {observationColumn(k, ObsField::Duration), "Длительность наб., ч.", 162,
         ColumnAlign::Center, true},
        {observationColumn(k, ObsField::Period), "Период наб., мин.", 99, ColumnAlign::Right,
         false},
        {observationColumn(k, ObsField::Temperature), "Т, С", 79, ColumnAlign::Center,
         false}, // Cyrillic Т and С
        {kColType, "Тип и № модуля", 85, ColumnAlign::Left, true},
    };
}

} // namespace

std::string tabCaption(int tab)
{
    return tab == 0 ? std::string("Оперативный") : "Наб. №" + std::to_string(tab);
}

const std::vector<GridColumnDef>& tabColumns(int tab)
{
    static const std::array<std::vector<GridColumnDef>, kTabCount> grids = [] {
        std::array<std::vector<GridColumnDef>, kTabCount> g;
        g[0] = operationalGrid();
        for (int k = 1; k < kTabCount; ++k)
            g[static_cast<std::size_t>(k)] = observationGrid(k);
        return g;
    }();
    return grids.at(static_cast<std::size_t>(tab));
}

} // namespace orx::ui
