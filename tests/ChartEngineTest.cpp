// The chart build without windows: rows read through a real table and a
// stand-in for the main window's tabs, the series, their titles, the texts
// read back as numbers and the temperature axis rules.

#include "charts/SeriesEngine.h"
#include "storage/ArchiveTable.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace orx;
using namespace orx::charts;
using namespace orx::test;

namespace {

// The main window's tabs as the build sees them: the tab made current and
// its filter, on a real table.
class TabsStandIn : public ChartSource
{
public:
    explicit TabsStandIn(ArchiveTable& t) : m_table(t) {}
    ArchiveTable& table() override { return m_table; }
    void showTab(int block) override
    {
        shown.push_back(block);
        m_table.setFiltered(false);
        m_table.setFilter(ArchiveTable::blockFilter(block));
        m_table.setFiltered(true);
    }
    void cursorSettled() override { ++settled; }
    std::vector<int> shown;
    int settled = 0;

private:
    ArchiveTable& m_table;
};

const char* const kDate = "31.01.2007";
constexpr double kDay = 39113; // 31.01.2007 as days since 30.12.1899

double at(int h, int m, int s = 0)
{
    return kDay + (h * 3600 + m * 60 + s) / 86400.0;
}

class ChartEngine : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ArchiveTable::create(tmp.path("a.db"));
        table.open(tmp.path("a.db"));
    }
    // Readings of observation k at 10:00, 10:01, ... with the given temperatures.
    void observation(int k, const std::vector<std::string>& temperatures,
                     const std::string& type = "A")
    {
        int minute = 0;
        for (const auto& t : temperatures) {
            char time[16];
            std::snprintf(time, sizeof time, "10:%02d", minute);
            appendRow(table,
                      ObservationRow{k, std::to_string(++minute), kDate, time, "1", "1", t, type});
        }
    }
    ChartSelection ticked(std::initializer_list<int> blocks)
    {
        ChartSelection s{};
        for (int b : blocks)
            s[static_cast<std::size_t>(b)] = true;
        return s;
    }
    void build(const ChartSelection& s) { buildSeries(source, s, series); }

    TempDir tmp;
    ArchiveTable table;
    TabsStandIn source{table};
    ChartSeriesSet series;
};

TEST(ChartTexts, MomentsAreCalendarDatesAndTimes)
{
    struct Case
    {
        const char* text;
        std::optional<double> days;
    };
    const Case cases[] = {
        {"31.01.2007 10:15:00", at(10, 15)},
        {"31.01.2007 10:15:30:00", at(10, 15, 30)}, // text after the seconds is ignored
        {"29.02.2008 00:00:00", 39507.0},
        {"30.12.1899 06:00:00", 0.25},
        {"31.02.2007 10:15:00", std::nullopt},
        {"29.02.2007 10:15:00", std::nullopt},
        {"31.04.2007 10:15:00", std::nullopt},
        {"00.01.2007 10:15:00", std::nullopt},
        {"31.13.2007 10:15:00", std::nullopt},
        {"31.01.2007 24:00:00", std::nullopt},
        {"31.01.2007 10:60:00", std::nullopt},
        {"31.01.2007 10:15:60", std::nullopt},
        {"31.01.07 10:15:00", std::nullopt},
        {"31.01.2007 10:15", std::nullopt},
        {"31.01.2007  10:15:00", std::nullopt},
        {" :00", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto x = parseChartMoment(c.text);
        ASSERT_EQ(x.has_value(), c.days.has_value());
        if (x) {
            EXPECT_NEAR(*x, *c.days, 1e-9);
        }
    }
}

TEST(ChartTexts, TemperaturesUseTheDecimalComma)
{
    EXPECT_EQ(parseChartTemperature("23,5"), 23.5);
    EXPECT_EQ(parseChartTemperature("-12,80"), -12.8);
    EXPECT_EQ(parseChartTemperature("0,0"), 0.0);
    EXPECT_EQ(parseChartTemperature("23.5"), std::nullopt);
    EXPECT_EQ(parseChartTemperature(""), std::nullopt);
    EXPECT_EQ(parseChartTemperature("2O,5"), std::nullopt);
}

TEST_F(ChartEngine, NoBoxTickedTouchesNeitherTabsNorAxis)
{
    observation(3, {"20,0"});
    build(ticked({}));
    EXPECT_TRUE(source.shown.empty());
    EXPECT_EQ(source.settled, 0);
    for (const ChartSeries& s : series) {
        EXPECT_TRUE(s.points.empty());
        EXPECT_FALSE(s.inLegend);
    }
    TemperatureAxis axis;
    axis.setFixed(1, 11);
    scaleTemperatureAxis(ticked({}), series, axis);
    EXPECT_FALSE(axis.automatic());
    EXPECT_EQ(axis.lower(), 1);
    EXPECT_EQ(axis.upper(), 11);
}

TEST_F(ChartEngine, TemperatureAxisRules)
{
    using Range = std::pair<double, double>;
    struct Case
    {
        const char* name;
        std::vector<std::pair<int, std::vector<std::string>>> blocks;
        std::vector<int> tick;
        std::optional<Range> fixedBefore; // fixed limits from an earlier showing
        std::optional<Range> drawnBefore; // an automatic axis last drawn over this range
        bool automatic;
        Range range; // when fixed
    };
    const Case cases[] = {
        {"empty block", {}, {4}, {}, {}, false, {-5, 5}},
        {"one reading", {{6, {"21,5"}}}, {6}, {}, {}, false, {16.5, 26.5}},
        {"span exactly 10", {{6, {"10,0", "20,0"}}}, {6}, Range{0, 1}, {}, true, {}},
        {"span 9,9", {{6, {"10,0", "19,9"}}}, {6}, {}, {}, false, {9.95, 19.95}},
        {"observations 1 and 2 win over 5",
         {{1, {"20,0", "22,0"}}, {2, {"18,0", "21,0"}}, {5, {"50,0"}}},
         {1, 2, 5},
         {},
         {},
         false,
         {17, 23}},
        {"observation 9 decides over 3",
         {{3, {"-50,0"}}, {9, {"5,0", "7,0"}}},
         {3, 9},
         {},
         {},
         false,
         {1, 11}},
        {"first chart near -20", {{6, {"-20,5", "-19,5"}}}, {6}, {}, {}, true, {}},
        {"first chart near -3", {{6, {"-3,0"}}}, {6}, {}, {}, false, {-8, 2}},
        {"near -20 after a chart drawn lower",
         {{6, {"-20,0"}}},
         {6},
         {},
         Range{-40, -30},
         false,
         {-25, -15}},
        {"near -20 after a fixed chart above it",
         {{6, {"-20,0"}}},
         {6},
         Range{10, 20},
         {},
         true,
         {}},
        {"observations 1 and 2 after a drawn range above",
         {{1, {"30,0"}}, {2, {"0,0", "20,0"}}},
         {1, 2},
         {},
         Range{-10, -5},
         true,
         {}},
        {"observations 1 and 2 widened by one degree",
         {{1, {"40,0"}}, {2, {"45,0"}}},
         {1, 2},
         {},
         {},
         false,
         {39, 46}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        ArchiveTable t;
        ArchiveTable::create(dir.path("c.db"));
        t.open(dir.path("c.db"));
        for (const auto& [k, temperatures] : c.blocks)
            for (std::size_t i = 0; i < temperatures.size(); ++i)
                appendRow(t, ObservationRow{k, std::to_string(i + 1), kDate,
                                            i < 10 ? "10:0" + std::to_string(i) : "11:00", "1", "1",
                                            temperatures[i], "A"});
        TabsStandIn src(t);
        ChartSelection s{};
        for (int b : c.tick)
            s[static_cast<std::size_t>(b)] = true;
        ChartSeriesSet set;
        buildSeries(src, s, set);
        TemperatureAxis axis;
        if (c.fixedBefore)
            axis.setFixed(c.fixedBefore->first, c.fixedBefore->second);
        if (c.drawnBefore)
            axis.setDrawnRange(c.drawnBefore->first, c.drawnBefore->second);
        scaleTemperatureAxis(s, set, axis);
        EXPECT_EQ(axis.automatic(), c.automatic);
        if (!c.automatic) {
            EXPECT_NEAR(axis.lower(), c.range.first, 1e-9);
            EXPECT_NEAR(axis.upper(), c.range.second, 1e-9);
        }
    }
}

TEST_F(ChartEngine, TitlesFollowTheBlockRule)
{
    observation(16, {"1,0"}, "A16");
    observation(17, {"1,0"}, "A17");
    appendRow(table, OperationalRow{"1", "ТМ5-1", "01", kDate, "10:00:00", "1,0"});
    appendRow(table, OperationalRow{"2", "ТМ5-2", "07", kDate, "10:01:00", "1,0"});
    build(ticked({16, 17, 0, 8}));
    EXPECT_EQ(series[16].title, "A16 T,°C");
    EXPECT_EQ(series[17].title, "A17T,°C");     // no blank before T
    EXPECT_EQ(series[0].title, "ТМ5-207 T,°C"); // the last operational row's module and sensor
    EXPECT_EQ(series[8].title, " T,°C");        // no rows
    for (int b : {16, 17, 0, 8})
        EXPECT_TRUE(series[static_cast<std::size_t>(b)].inLegend) << b;
    EXPECT_FALSE(series[1].inLegend);
    EXPECT_TRUE(series[8].points.empty());
}

TEST_F(ChartEngine, OperationalSecondsAndObservationMinutes)
{
    appendRow(table, OperationalRow{"1", "ТМ5-1", "01", kDate, "10:15:30", "-1,5"});
    appendRow(table, ObservationRow{2, "1", kDate, "10:15", "1", "1", "23,25", "A"});
    build(ticked({0, 2}));
    ASSERT_EQ(series[0].points.size(), 1u);
    ASSERT_EQ(series[2].points.size(), 1u);
    EXPECT_NEAR(series[0].points[0].x, at(10, 15, 30), 1e-9);
    EXPECT_EQ(series[0].points[0].y, -1.5);
    EXPECT_NEAR(series[2].points[0].x, at(10, 15, 0), 1e-9);
    EXPECT_EQ(series[2].points[0].y, 23.25);
}

TEST_F(ChartEngine, EqualTimesKeepTheirReadOrder)
{
    const std::pair<const char*, const char*> rows[] = {
        {"10:00", "1,0"}, {"09:00", "2,0"}, {"10:00", "3,0"}, {"09:00", "4,0"}, {"11:00", "5,0"}};
    int n = 0;
    for (const auto& [time, t] : rows)
        appendRow(table, ObservationRow{7, std::to_string(++n), kDate, time, "1", "1", t, "A"});
    build(ticked({7}));
    std::vector<double> ys;
    for (const ChartPoint& p : series[7].points)
        ys.push_back(p.y);
    EXPECT_EQ(ys, (std::vector<double>{2, 4, 1, 3, 5}));
}

TEST_F(ChartEngine, LeavesTheLastTickedBlocksTabOnItsLastRow)
{
    observation(2, {"1,0", "2,0"});
    observation(4, {"3,0", "4,0", "5,0"});
    observation(6, {"6,0"});
    build(ticked({4, 2}));
    EXPECT_EQ(source.shown, (std::vector<int>{2, 4}));
    EXPECT_EQ(source.settled, 1);
    EXPECT_EQ(table.filter(), "NN4 <>''");
    EXPECT_TRUE(table.filtered());
    EXPECT_EQ(table.countVisible(), 3u);
    EXPECT_EQ(table.position(), 2u);
    EXPECT_EQ(table.readText("TN4"), "5,0");
    EXPECT_EQ(series[2].points.size(), 2u);
    EXPECT_EQ(series[4].points.size(), 3u);
    EXPECT_TRUE(series[6].points.empty());
}

TEST_F(ChartEngine, AnUnreadableTextStopsTheBuildOnItsRow)
{
    observation(1, {"1,0"});
    appendRow(table, ObservationRow{3, "1", kDate, "10:00", "1", "1", "1,0", "A"});
    appendRow(table, ObservationRow{3, "2", "31.02.2007", "10:15", "1", "1", "2,0", "A"});
    appendRow(table, ObservationRow{3, "3", kDate, "10:30", "1", "1", "3,0", "A"});
    appendRow(table, ObservationRow{5, "1", kDate, "10:30", "1", "1", "2;5", "A"});
    try {
        build(ticked({1, 3, 5}));
        FAIL() << "the build went through";
    } catch (const ChartTextError& e) {
        EXPECT_EQ(e.kind(), ChartTextError::Kind::DateTime);
        EXPECT_EQ(e.text(), "31.02.2007 10:15:00");
    }
    EXPECT_EQ(source.shown, (std::vector<int>{1, 3}));
    EXPECT_EQ(table.readText("NN3"), "2");
    EXPECT_EQ(source.settled, 1);

    try {
        build(ticked({5}));
        FAIL() << "the build went through";
    } catch (const ChartTextError& e) {
        EXPECT_EQ(e.kind(), ChartTextError::Kind::Number);
        EXPECT_EQ(e.text(), "2;5");
    }
}

} // namespace
