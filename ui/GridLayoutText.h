#pragma once

// The stored column layout of a grid ("Table_1" in the settings store) as
// text: a first line naming the form, then one line per column in column
// order, each a tab-separated list of key=value pairs keyed by field name.
// Plain C++, so the round trip and the refusal of foreign texts are tested
// without windows.

#include "ui/TabColumns.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orx::ui {

enum class SortMark { None = 0, Up = 1, Down = 2 };

struct ColumnLayout
{
    std::string field;
    int width = 0; // design width in pixels
    int level = 0; // title level (the grids have one)
    int index = 0; // place among the grid's columns
    SortMark mark = SortMark::None;
    int sortOrder = 0; // order number of the sort mark, 0 without one
    int footer = 0;    // footer state; the grids show no footer
    int options = 0;   // visual options: bit 0 title wraps to two lines
    std::string color; // cell background, "#rrggbb"
    ColumnAlign align = ColumnAlign::Left;
    std::string font; // the cell font as the toolkit describes it
    bool operator==(const ColumnLayout& o) const;
};

inline constexpr const char* kGridLayoutHeader = "orx-grid-layout 1";

std::string formatGridLayout(const std::vector<ColumnLayout>& columns);
// Nothing for a text that is not a whole layout of this form.
std::optional<std::vector<ColumnLayout>> parseGridLayout(std::string_view text);

} // namespace orx::ui
