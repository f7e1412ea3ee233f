#include "ui/GridLayoutText.h"

#include <cctype>
#include <charconv>
#include <map>

namespace orx::ui {

namespace {

constexpr int kMaxWidth = 100000;
constexpr int kMaxIndex = 1000;

const char* alignName(ColumnAlign a)
{
    switch (a) {
    case ColumnAlign::Right:
        return "right";
    case ColumnAlign::Center:
        return "center";
    case ColumnAlign::Left:
        break;
    }
    return "left";
}

std::optional<ColumnAlign> alignFromName(std::string_view s)
{
    if (s == "left")
        return ColumnAlign::Left;
    if (s == "right")
        return ColumnAlign::Right;
    if (s == "center")
        return ColumnAlign::Center;
    return std::nullopt;
}

std::optional<int> number(std::string_view s, int lo, int hi)
{
    int v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || v < lo || v > hi)
        return std::nullopt;
    return v;
}

bool isColor(std::string_view s)
{
    if (s.size() != 7 || s[0] != '#')
        return false;
    for (char c : s.substr(1))
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

// Splits on a separator; the last piece may be empty.
std::vector<std::string_view> split(std::string_view s, char sep)
{
    std::vector<std::string_view> parts;
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = s.find(sep, from);
        parts.push_back(s.substr(from, at == std::string_view::npos ? std::string_view::npos
                                                                    : at - from));
        if (at == std::string_view::npos)
            return parts;
        from = at + 1;
    }
}

std::optional<ColumnLayout> parseLine(std::string_view line)
{
    std::map<std::string_view, std::string_view> kv;
    for (std::string_view pair : split(line, '\t')) {
        const std::size_t eq = pair.find('=');
        if (eq == std::string_view::npos || !kv.emplace(pair.substr(0, eq), pair.substr(eq + 1)).second)
            return std::nullopt;
    }
    static const char* const keys[] = {"field", "width",  "level", "index", "title", "order",
                                       "footer", "options", "color", "align", "font"};
    if (kv.size() != std::size(keys))
        return std::nullopt;
    for (const char* k : keys)
        if (!kv.count(k))
            return std::nullopt;
    ColumnLayout c;
    c.field = std::string(kv["field"]);
    const auto width = number(kv["width"], 2, kMaxWidth);
    const auto level = number(kv["level"], 0, kMaxIndex);
    const auto index = number(kv["index"], 0, kMaxIndex);
    const auto title = number(kv["title"], 0, 2);
    const auto order = number(kv["order"], 0, kMaxIndex);
    const auto footer = number(kv["footer"], 0, kMaxIndex);
    const auto options = number(kv["options"], 0, 0xFFFF);
    const auto align = alignFromName(kv["align"]);
    if (c.field.empty() || !width || !level || !index || !title || !order || !footer || !options ||
        !align || !isColor(kv["color"]))
        return std::nullopt;
    c.width = *width;
    c.level = *level;
    c.index = *index;
    c.mark = static_cast<SortMark>(*title);
    c.sortOrder = *order;
    c.footer = *footer;
    c.options = *options;
    c.color = std::string(kv["color"]);
    c.align = *align;
    c.font = std::string(kv["font"]);
    return c;
}

} // namespace

bool ColumnLayout::operator==(const ColumnLayout& o) const
{
    return field == o.field && width == o.width && level == o.level && index == o.index &&
           mark == o.mark && sortOrder == o.sortOrder && footer == o.footer &&
           options == o.options && color == o.color && align == o.align && font == o.font;
}

std::string formatGridLayout(const std::vector<ColumnLayout>& columns)
{
    std::string s = kGridLayoutHeader;
    s += '\n';
    for (const ColumnLayout& c : columns) {
        s += "field=" + c.field;
        s += "\twidth=" + std::to_string(c.width);
        s += "\tlevel=" + std::to_string(c.level);
        s += "\tindex=" + std::to_string(c.index);
        s += "\ttitle=" + std::to_string(static_cast<int>(c.mark));
        s += "\torder=" + std::to_string(c.sortOrder);
        s += "\tfooter=" + std::to_string(c.footer);
        s += "\toptions=" + std::to_string(c.options);
        s += "\tcolor=" + c.color;
        s += std::string("\talign=") + alignName(c.align);
        s += "\tfont=" + c.font;
        s += '\n';
    }
    return s;
}

std::optional<std::vector<ColumnLayout>> parseGridLayout(std::string_view text)
{
    std::vector<std::string_view> lines = split(text, '\n');
    if (lines.empty() || lines.front() != kGridLayoutHeader)
        return std::nullopt;
    std::vector<ColumnLayout> columns;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            continue;
        auto c = parseLine(line);
        if (!c)
            return std::nullopt;
        for (const ColumnLayout& earlier : columns)
            if (earlier.field == c->field)
                return std::nullopt; // one line per column

        columns.push_back(std::move(*c));
    }
    if (columns.empty())
        return std::nullopt;
    return columns;
}

} // namespace orx::ui
