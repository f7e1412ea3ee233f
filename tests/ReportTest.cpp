// The paper reports rendered to PDF and read back by poppler's pdftotext,
// pdfinfo and pdftoppm.

#include "reports/Report.h"
#include "archive/RecordModel.h"
#include "reports/ReportRenderer.h"
#include "storage/ArchiveTable.h"
#include "tests/TestSupport.h"

#include <QGuiApplication>
#include <QImage>

#include <gtest/gtest.h>

#include <cmath>
#include <regex>

using namespace orx;
using namespace orx::reports;
using namespace orx::test;

namespace {

const std::string kDataDir = std::string(ORX_TEST_SOURCE_DIR) + "/tests/data";

// Report units per PDF point.
constexpr double kUnitsPerPoint = kUnitsPerInch / 72.0;

class Reports : public ::testing::Test
{
protected:
    void SetUp() override
    {
        file = tmp.path("archive.db");
        ArchiveTable::create(file);
        table.open(file);
    }

    void addOperational(int count, const std::string& temperature = "1")
    {
        for (int i = 1; i <= count; ++i) {
            char time[16];
            std::snprintf(time, sizeof time, "10:%02d:%02d", i / 60, i % 60);
            appendRow(table, OperationalRow{std::to_string(i), "\xC0", "3", "01.03.2007", time,
                                            temperature});
        }
    }

    // Prepares tab `tab` and writes it as a PDF; returns its path.
    std::string pdfOf(int tab, const std::string& name = "report.pdf")
    {
        table.setFilter(ArchiveTable::blockFilter(tab));
        table.setFiltered(true);
        const std::optional<PreparedReport> report = prepareReport(table, tab);
        EXPECT_TRUE(report.has_value());
        const std::string path = tmp.path(name);
        QString error;
        EXPECT_TRUE(writeReportPdf(*report, QString::fromStdString(path), &error))
            << error.toStdString();
        return path;
    }

    std::string text(const std::string& pdf, int page = 0, bool layout = true)
    {
        const std::string pages =
            page > 0 ? " -f " + std::to_string(page) + " -l " + std::to_string(page) : "";
        CommandResult r = runCommand(std::string("pdftotext") + (layout ? " -layout" : "") + pages +
                                     " " + shellQuote(pdf) + " -");
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    }

    std::string info(const std::string& pdf)
    {
        CommandResult r = runCommand("pdfinfo " + shellQuote(pdf));
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    }

    int pages(const std::string& pdf)
    {
        std::smatch m;
        const std::string i = info(pdf);
        return std::regex_search(i, m, std::regex("Pages: +([0-9]+)")) ? std::stoi(m[1]) : -1;
    }

    // Page 1 as a grey image at one pixel per report unit.
    QImage pageImage(const std::string& pdf, int page = 1)
    {
        const std::string prefix = tmp.path("page");
        CommandResult r = runCommand("pdftoppm -r 91.6256 -gray -png -singlefile -f " +
                                     std::to_string(page) + " -l " + std::to_string(page) + " " +
                                     shellQuote(pdf) + " " + shellQuote(prefix));
        EXPECT_EQ(r.status, 0) << r.err;
        return QImage(QString::fromStdString(prefix + ".png"))
            .convertToFormat(QImage::Format_Grayscale8);
    }

    TempDir tmp;
    std::string file;
    ArchiveTable table;
};

bool dark(const QImage& image, int x, int y)
{
    return qGray(image.pixel(x, y)) < 128;
}

// A frame line crosses (x, y) to within a pixel, horizontally or vertically.
bool lineNear(const QImage& image, int x, int y, bool vertical)
{
    for (int d = -1; d <= 1; ++d) {
        if (vertical ? dark(image, x + d, y) : dark(image, x, y + d))
            return true;
    }
    return false;
}

struct Word
{
    std::string text;
    double xMin, yMin, xMax, yMax; // report units
};

// The words of page 1 with their boxes, from pdftotext -bbox.
std::vector<Word> words(const std::string& pdf)
{
    CommandResult r = runCommand("pdftotext -bbox -f 1 -l 1 " + shellQuote(pdf) + " -");
    std::vector<Word> out;
    const std::regex word("<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" "
                          "yMax=\"([0-9.]+)\">([^<]*)</word>");
    for (std::sregex_iterator it(r.out.begin(), r.out.end(), word), end; it != end; ++it) {
        const std::smatch& m = *it;
        out.push_back({m[5], std::stod(m[1]) * kUnitsPerPoint, std::stod(m[2]) * kUnitsPerPoint,
                       std::stod(m[3]) * kUnitsPerPoint, std::stod(m[4]) * kUnitsPerPoint});
    }
    return out;
}

const Word* findWord(const std::vector<Word>& all, const std::string& text)
{
    for (const Word& w : all) {
        if (w.text == text)
            return &w;
    }
    return nullptr;
}

int count(const std::string& text, const std::regex& re)
{
    return static_cast<int>(
        std::distance(std::sregex_iterator(text.begin(), text.end(), re), std::sregex_iterator()));
}

} // namespace

TEST_F(Reports, EmptyTabGivesOneA4PageWithTitleHeadingsAndFooter)
{
    const std::string pdf = pdfOf(4);
    const std::string i = info(pdf);
    EXPECT_NE(i.find("Pages:           1\n"), std::string::npos) << i;
    EXPECT_NE(i.find("Page size:       595 x 842 pts (A4)"), std::string::npos) << i;
    EXPECT_NE(i.find("Page rot:        0"), std::string::npos) << i;
    const std::string t = text(pdf, 0, false);
    for (const char* expected :
         {"ВЕЛАРИ-5", "N", "Дата", "Время", "Длительность", "наблюдения, ч.", "Период",
          "наблюдения, мин.", "T, град.C", "Тип и №", "модуля", "Стр. 1 из 1"})
        EXPECT_NE(t.find(expected), std::string::npos) << expected << " in\n" << t;
}

TEST_F(Reports, OperationalTemperaturesGetOneDecimalObservationOnesPrintAsStored)
{
    appendRow(table, OperationalRow{"1", "\xC0", "3", "01.03.2007", "12:00:07", "20"});
    appendRow(table, OperationalRow{"2", "\xC0", "3", "01.03.2007", "12:00:08", "23,5"});
    appendRow(table, OperationalRow{"3", "\xC0", "3", "01.03.2007", "12:00:09", "-12,8"});
    appendRow(table, OperationalRow{"4", "\xC0", "3", "01.03.2007", "12:00:10", "ab"});
    appendRow(table, ObservationRow{7, "11", "05.06.2024", "10:20", "24", "10", "23,50",
                                    "\xC0"
                                    "7"});
    appendRow(table, ObservationRow{7, "12", "05.06.2024", "10:30", "24", "10", "0,0",
                                    "\xC0"
                                    "7"});

    const std::string ops = text(pdfOf(0, "ops.pdf"));
    EXPECT_TRUE(std::regex_search(ops, std::regex("\n *1 +01\\.03\\.2007 +12:00:07 +А +3 +20,0\n")))
        << ops;
    EXPECT_TRUE(std::regex_search(ops, std::regex("12:00:08 +А +3 +23,5\n"))) << ops;
    EXPECT_TRUE(std::regex_search(ops, std::regex("12:00:09 +А +3 +-12,8\n"))) << ops;
    EXPECT_TRUE(std::regex_search(ops, std::regex("12:00:10 +А +3 +ab\n"))) << ops;

    // The observation's own sequence numbers, its temperatures as stored.
    const std::string obs = text(pdfOf(7, "obs.pdf"));
    EXPECT_TRUE(
        std::regex_search(obs, std::regex("\n *11 +05\\.06\\.2024 +10:20 +24 +10 +23,50 +А7\n")))
        << obs;
    EXPECT_TRUE(
        std::regex_search(obs, std::regex("\n *12 +05\\.06\\.2024 +10:30 +24 +10 +0,0 +А7\n")))
        << obs;
}

TEST_F(Reports, TheTabChoosesTheLayout)
{
    struct Case
    {
        int tab;
        bool spacedHeading; // "T, град. C" rather than "T, град.C"
    };
    for (const Case c :
         {Case{0, false}, Case{1, true}, Case{2, false}, Case{7, false}, Case{20, false}}) {
        SCOPED_TRACE(c.tab);
        const std::string t = text(pdfOf(c.tab), 0, false);
        EXPECT_EQ(t.find("T, град. C") != std::string::npos, c.spacedHeading) << t;
        EXPECT_EQ(t.find("T, град.C") != std::string::npos, !c.spacedHeading) << t;
        EXPECT_EQ(t.find("Длительность") != std::string::npos, c.tab != 0);
        EXPECT_EQ(t.find("Тип модуля") != std::string::npos, c.tab == 0);
    }
}

TEST_F(Reports, PagesBreakWhereTheNextDataBandWouldReachTheFooter)
{
    // A4 in report units, and what is left for data bands between the
    // headings and the footer (which ends at the bottom margin).
    const double page = 297 / 25.4 * kUnitsPerInch;
    const double footerTop = page - 25 - 20;
    const int onFirst = static_cast<int>(std::floor((footerTop - (72 + 64 + 60)) / 40));
    const int onLater = static_cast<int>(std::floor((footerTop - (72 + 60)) / 40));
    ASSERT_EQ(onFirst, 20);
    ASSERT_EQ(onLater, 22);

    addOperational(onFirst + onLater + 1);
    const std::string pdf = pdfOf(0);
    ASSERT_EQ(pages(pdf), 3);
    const std::regex rowTime("10:[0-9][0-9]:[0-9][0-9]");
    const int expected[] = {onFirst, onLater, 1};
    for (int p = 1; p <= 3; ++p) {
        SCOPED_TRACE(p);
        const std::string t = text(pdf, p);
        EXPECT_EQ(count(t, rowTime), expected[p - 1]) << t;
        EXPECT_NE(t.find("Стр. " + std::to_string(p) + " из 3"), std::string::npos) << t;
        EXPECT_EQ(t.find("ВЕЛАРИ-5") != std::string::npos, p == 1) << "the title only on page 1";
        EXPECT_NE(t.find("Тип модуля"), std::string::npos) << "headings on every page";
    }
    // The row after the last one of page 1 opens page 2.
    EXPECT_TRUE(std::regex_search(text(pdf, 2), std::regex("\n *21 +01\\.03\\.2007 +10:00:21")));

    // One row fewer than fills two pages, and exactly two pages full.
    table.close();
    ArchiveTable::create(file);
    table.open(file);
    addOperational(onFirst + onLater);
    EXPECT_EQ(pages(pdfOf(0, "two.pdf")), 2);
}

TEST_F(Reports, FramesStandOnTheCellBoundaries)
{
    addOperational(3);
    for (const char* n : {"1", "2", "3"})
        appendRow(table, ObservationRow{1, n, "05.06.2024", "10:20", "24", "10", "23,50",
                                        "\xC0"
                                        "1"});
    struct Case
    {
        int tab;
        std::vector<int> headingEdges; // x of the vertical frame lines
        std::vector<int> dataEdges;
    };
    const Case cases[] = {
        {0, {25, 86, 174, 246, 394, 542, 614}, {25, 86, 174, 246, 394, 542, 614}},
        {1,
         {25, 86, 174, 246, 394, 541, 637, 639, 731},
         {25, 86, 174, 246, 394, 542, 638, 639, 732}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tab);
        const QImage image = pageImage(pdfOf(c.tab));
        ASSERT_EQ(image.width(), 758);
        const int headingMiddle = 72 + 64 + 30, dataMiddle = 72 + 64 + 60 + 20;
        for (int x : c.headingEdges)
            EXPECT_TRUE(lineNear(image, x, headingMiddle, true)) << "heading edge " << x;
        for (int x : c.dataEdges)
            EXPECT_TRUE(lineNear(image, x, dataMiddle, true)) << "data edge " << x;
        EXPECT_FALSE(lineNear(image, c.dataEdges.back() + 5, dataMiddle, true));
        // Top and bottom of the headings, the bottom of each data band.
        for (int y : {136, 196, 236, 276, 316})
            EXPECT_TRUE(lineNear(image, 50, y, false)) << "band edge " << y;
        EXPECT_FALSE(lineNear(image, 50, 340, false)) << "no band after the last row";
    }
}

TEST_F(Reports, TextsWrapInsideTheirCellsAndAreCentred)
{
    appendRow(table, ObservationRow{1, "1", "05.06.2024", "10:20", "24", "10", "23,50",
                                    "\xC0"
                                    "1"});
    const std::vector<Word> all = words(pdfOf(1));
    const Word* first = findWord(all, "Длительность");
    const Word* second = findWord(all, "наблюдения,");
    ASSERT_TRUE(first && second);
    // Two lines inside the 60-unit heading cell from x = 246 to 394.
    EXPECT_GT(second->yMin, first->yMax - 1);
    for (const Word* w : {first, second}) {
        EXPECT_GE(w->xMin, 246 + 2);
        EXPECT_LE(w->xMax, 394 - 2);
        EXPECT_GE(w->yMin, 136);
        EXPECT_LE(w->yMax, 196);
    }
    EXPECT_NEAR((first->xMin + first->xMax) / 2, 320, 2) << "centred horizontally";
    EXPECT_NEAR((first->yMin + second->yMax) / 2, 166, 3) << "centred vertically";

    // A data cell: centred in its band, under its heading.
    const Word* duration = findWord(all, "24");
    ASSERT_TRUE(duration);
    EXPECT_NEAR((duration->xMin + duration->xMax) / 2, 320, 1);
    EXPECT_NEAR((duration->yMin + duration->yMax) / 2, 216, 3);

    // The title at the left margin, the footer against the right one.
    const Word* title = findWord(all, "ВЕЛАРИ-5");
    ASSERT_TRUE(title);
    EXPECT_NEAR(title->xMin, 25 + 2, 1.5);
    EXPECT_NEAR(title->yMin, 72 + 1, 3);
    const Word* pageCount = nullptr;
    for (const Word& w : all) {
        if (w.yMin > 1000 && w.text == "1")
            pageCount = &w; // the last "1" of "Стр. 1 из 1"
    }
    ASSERT_TRUE(pageCount);
    EXPECT_NEAR(pageCount->xMax, 733 - 2, 1.5);
}

TEST_F(Reports, PageOneLooksLikeTheReferencePicture)
{
    // The reference was looked at: frames, wrapped headings, centred cells.
    for (int i = 1; i <= 3; ++i) {
        appendRow(table,
                  ObservationRow{1, std::to_string(i), "05.06.2024", "10:2" + std::to_string(i),
                                 "24", "10", i == 2 ? "0,0" : "23,50",
                                 "\xC0"
                                 "1"});
    }
    const QImage got = pageImage(pdfOf(1));
    got.save(QStringLiteral(ORX_TEST_OUTPUT_DIR "/report-observation-1.got.png"));
    const QImage want = QImage(QString::fromStdString(kDataDir + "/report-observation-1.png"))
                            .convertToFormat(QImage::Format_Grayscale8);
    ASSERT_FALSE(want.isNull());
    ASSERT_EQ(got.size(), want.size());
    long differing = 0;
    for (int y = 0; y < got.height(); ++y) {
        for (int x = 0; x < got.width(); ++x) {
            if (std::abs(qGray(got.pixel(x, y)) - qGray(want.pixel(x, y))) > 64)
                ++differing;
        }
    }
    // Anti-aliasing may differ a little between poppler builds.
    EXPECT_LT(differing, got.width() * got.height() / 500) << differing << " pixels differ";
    if (HasFailure())
        got.save(QStringLiteral(ORX_TEST_OUTPUT_DIR "/report-observation-1.got.png"));
}

TEST(ReportCells, OperationalTemperatureHasOneDecimal)
{
    const CellSpec& temperature = reportLayout(0).data.cells.back();
    const std::pair<const char*, const char*> cases[] = {
        {"20", "20,0"}, {"23,5", "23,5"}, {"-12,8", "-12,8"}, {"0", "0,0"},
        {"", ""},       {"ab", "ab"},     {"23.5", "23.5"},
    };
    for (const auto& [stored, printed] : cases)
        EXPECT_EQ(cellText(temperature, stored), printed) << stored;
    // Observation temperatures print as stored.
    EXPECT_EQ(cellText(reportLayout(1).data.cells[5], "23,50"), "23,50");
}

TEST(ReportLayouts, ColumnSixAndSevenShareTheirBoundaryOnEveryObservationTab)
{
    const double widths[] = {98, 92, 82, 80, 82, 84, 80, 87, 89, 87,
                             89, 87, 87, 89, 83, 87, 85, 90, 89, 88};
    for (int k = 1; k <= kObservationCount; ++k) {
        SCOPED_TRACE(k);
        const ReportLayout& l = reportLayout(k);
        EXPECT_EQ(l.name, "frReport" + std::to_string(k + 1));
        ASSERT_EQ(l.headings.cells.size(), 7u);
        ASSERT_EQ(l.data.cells.size(), 7u);
        const CellSpec &h6 = l.headings.cells[5], &h7 = l.headings.cells[6];
        const CellSpec &d6 = l.data.cells[5], &d7 = l.data.cells[6];
        EXPECT_EQ(h6.x, 541);
        EXPECT_EQ(h6.width, widths[k - 1]);
        EXPECT_EQ(h7.x + h7.width, 731);
        EXPECT_EQ(d7.x + d7.width, 732);
        EXPECT_NEAR(d6.x + d6.width, h6.x + h6.width, 3);
        EXPECT_NEAR(d7.x, h7.x, 3);
        EXPECT_EQ(d6.column, "TN" + std::to_string(k));
        EXPECT_EQ(l.data.cells[0].column, "NN" + std::to_string(k));
    }
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
