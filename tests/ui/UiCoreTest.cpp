// What the windows show, without windows: tab columns, the stored layout
// text, the version query.

#include "ui/GridLayoutText.h"
#include "ui/TabColumns.h"
#include "ui/VersionInfo.h"

#include <gtest/gtest.h>

using namespace orx::ui;

TEST(TabColumns, CaptionsAndColumnsOfEveryTab)
{
    EXPECT_EQ(tabCaption(0), "Оперативный");
    EXPECT_EQ(tabCaption(7), "Наб. №7");
    std::vector<std::string> op;
    for (const auto& c : tabColumns(0))
        op.push_back(c.field);
    EXPECT_EQ(op, (std::vector<std::string>{"NO", "DATEO", "TIMEO", "ID_MO", "NO_DO", "TO"}));
    EXPECT_EQ(tabColumns(0)[5].title, "T, C"); // Latin letters
    EXPECT_TRUE(tabColumns(0)[5].editable);
    for (int k = 1; k <= 20; ++k) {
        const auto& cols = tabColumns(k);
        ASSERT_EQ(cols.size(), 7u);
        const std::string n = std::to_string(k);
        EXPECT_EQ(cols[0].field, "NN" + n);
        EXPECT_EQ(cols[3].field, "INTN" + n);
        EXPECT_EQ(cols[5].field, "TN" + n);
        EXPECT_EQ(cols[5].title, "Т, С"); // Cyrillic letters
        EXPECT_EQ(cols[6].field, "TYPE");
        int editable = 0;
        for (const auto& c : cols)
            editable += c.editable;
        EXPECT_EQ(editable, 2); // INTNk and TYPE
        EXPECT_TRUE(cols[3].editable && cols[6].editable);
    }
}

TEST(GridLayoutText, RoundTrip)
{
    std::vector<ColumnLayout> cols;
    for (const auto& def : tabColumns(0)) {
        ColumnLayout c;
        c.field = def.field;
        c.width = def.designWidth;
        c.index = static_cast<int>(cols.size());
        c.color = "#ffffff";
        c.align = def.align;
        c.font = "Sans Serif,9,-1,5,400,0,0,0,0,0,0,0,0,0,0,1";
        cols.push_back(c);
    }
    cols[2].mark = SortMark::Down;
    cols[2].sortOrder = 1;
    const auto back = parseGridLayout(formatGridLayout(cols));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, cols);
}

TEST(GridLayoutText, ForeignOrBrokenTextsAreRefused)
{
    const std::string good = formatGridLayout({{"NO", 61, 0, 0, SortMark::None, 0, 0, 1, "#ffffff",
                                                ColumnAlign::Right, "f"}});
    ASSERT_TRUE(parseGridLayout(good));
    const std::string line = good.substr(good.find('\n') + 1);
    const char* const cases[] = {
        "",
        "garbage",
        "[Table_1]\nNO=61",           // someone else's form
        "orx-grid-layout 2\n",        // a later form we do not know
        "orx-grid-layout 1\n",        // no columns
        "orx-grid-layout 1\nfield=NO", // keys missing
    };
    for (const char* text : cases)
        EXPECT_FALSE(parseGridLayout(text)) << text;
    auto broken = [&](const std::string& from, const std::string& to) {
        std::string s = good;
        s.replace(s.find(from), from.size(), to);
        return s;
    };
    EXPECT_FALSE(parseGridLayout(broken("width=61", "width=x")));
    EXPECT_FALSE(parseGridLayout(broken("width=61", "width=1")));
    EXPECT_FALSE(parseGridLayout(broken("align=right", "align=middle")));
    EXPECT_FALSE(parseGridLayout(broken("title=0", "title=7")));
    EXPECT_FALSE(parseGridLayout(broken("color=#ffffff", "color=white")));
    EXPECT_FALSE(parseGridLayout(good + line)) << "accepted twice the same line? fields must differ";
}

TEST(VersionInfo, QueryOrderAndFallback)
{
    struct Case
    {
        const char* what;
        VersionRecord record;
        std::string expected;
    };
    VersionRecord noTranslation;
    noTranslation.set("\\StringFileInfo\\\\FileVersion", "2.0.0.1");
    VersionRecord shortTranslation;
    shortTranslation.set(kTranslationQuery, std::string("\x19\x04\xE3", 3));
    shortTranslation.set("\\StringFileInfo\\041904E3\\FileVersion", "9.9.9.9");
    VersionRecord otherLanguage(0x0409, 0x04B0, "3.1.4.1");
    VersionRecord oneChar(0x0419, 0x04E3, "7");
    const Case cases[] = {
        {"Russian, code page 1251", VersionRecord(0x0419, 0x04E3, "1.1.0.20"), "1.1.0.20"},
        {"code page with a zero low byte", VersionRecord(0x0419, 0x0400, "1.2.3.4"), "1.2.3.4"},
        {"another translation", otherLanguage, "3.1.4.1"},
        {"no version information", VersionRecord(), "0.0.0.0"},
        {"no translation: the table without language", noTranslation, "2.0.0.1"},
        {"a translation of 3 bytes is none", shortTranslation, "0.0.0.0"},
        {"a version shorter than 2 characters", oneChar, "0.0.0.0"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetFileVersionText(c.record), c.expected) << c.what;
    EXPECT_EQ(translationKey(0x0419, 0x0400), "04190400");
    EXPECT_EQ(translationKey(0x0419, 0x04E3), "041904E3");
}

TEST(VersionInfo, TheProgramCarriesItsProjectVersion)
{
    EXPECT_EQ(GetFileVersionText(programVersionInfo()), ORX_PROJECT_VERSION);
    EXPECT_EQ(GetFileVersionText("/nonexistent/program"), "0.0.0.0");
}
