#pragma once

// What each of the 21 tabs shows: its caption and the columns of its grid
// with titles, design widths, alignment and which cells may be edited.
// Plain C++: the grids, the tests and the layout store share it.

#include <string>
#include <vector>

namespace orx::ui {

enum class ColumnAlign { Left, Right, Center };

struct GridColumnDef
{
    std::string field;  // column of the archive table
    std::string title;  // UTF-8; a title too wide for its column wraps to two lines
    int designWidth = 0; // pixels, scaled to fill the grid
    ColumnAlign align = ColumnAlign::Left;
    bool editable = false;
};

constexpr int kTabCount = 21;

// "Оперативный" for tab 0, "Наб. №k" for tab k.
std::string tabCaption(int tab);
// The columns of the grid on that tab, in order.
const std::vector<GridColumnDef>& tabColumns(int tab);

} // namespace orx::ui
