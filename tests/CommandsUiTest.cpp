// The program's export, preview and print commands with their seams stood in
// for: message boxes, the desktop's opener and the print dialog.

#include "archive/RecordModel.h"
#include "export/ExportCurrentTab.h"
#include "reports/ReportCommands.h"
#include "reports/ReportPreview.h"
#include "storage/ArchiveTable.h"
#include "tests/TestSupport.h"
#include "ui/MessageBoxes.h"

#include <QApplication>
#include <QPrinter>
#include <QSpinBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>

using namespace orx;
using namespace orx::test;

namespace {

class RecordedBoxes : public ui::MessageBoxes
{
public:
    QMessageBox::StandardButton show(QWidget*, const ui::MessageRequest& r) override
    {
        shown.push_back(r);
        return QMessageBox::Ok;
    }
    std::vector<ui::MessageRequest> shown;
};

class RecordedOpener : public ui::UrlOpener
{
public:
    bool open(const QUrl& url) override
    {
        opened.push_back(url);
        return answer;
    }
    bool answer = true;
    std::vector<QUrl> opened;
};

// Confirms the dialog with the printer set to a PDF file and, when given, a
// page range.
class PdfPrintDialog : public reports::PrintDialog
{
public:
    bool exec(QWidget*, QPrinter& printer, int pages) override
    {
        ++calls;
        pageCount = pages;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(output));
        if (from > 0) {
            printer.setPrintRange(QPrinter::PageRange);
            printer.setFromTo(from, to);
        }
        return true;
    }
    std::string output;
    int from = 0, to = 0;
    int calls = 0;
    int pageCount = 0;
};

class Commands : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ui::setMessageBoxes(&boxes);
        ui::setUrlOpener(&opener);
        reports::setPrintDialog(&printDialog);
        file = tmp.path("archive.db");
        ArchiveTable::create(file);
        table.open(file);
    }
    void TearDown() override
    {
        ui::setMessageBoxes(nullptr);
        ui::setUrlOpener(nullptr);
        reports::setPrintDialog(nullptr);
    }

    void addOperational(int count, int first = 1)
    {
        for (int i = first; i < first + count; ++i) {
            char time[16];
            std::snprintf(time, sizeof time, "10:%02d:%02d", i / 60, i % 60);
            appendRow(table, OperationalRow{std::to_string(i), "A", "3", "01.03.2007", time, "1"});
        }
    }

    void showTab(int tab)
    {
        table.setFilter(ArchiveTable::blockFilter(tab));
        table.setFiltered(true);
    }

    std::string pdfText(const std::string& pdf)
    {
        return runCommand("pdftotext " + shellQuote(pdf) + " -").out;
    }

    TempDir tmp;
    std::string file;
    ArchiveTable table;
    RecordedBoxes boxes;
    RecordedOpener opener;
    PdfPrintDialog printDialog;
};

} // namespace

TEST_F(Commands, ExportWritesNextToTheTableAndHandsTheWorkbookToTheDesktop)
{
    addOperational(2);
    showTab(0);
    const QString path = ui::exportCurrentTab(nullptr, table, 0);
    const std::string expected = tmp.path("ВЕЛАРИ-5.xlsx");
    EXPECT_EQ(path.toStdString(), expected);
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::u8path(expected)));
    ASSERT_EQ(opener.opened.size(), 1u);
    EXPECT_EQ(opener.opened[0], QUrl::fromLocalFile(QString::fromStdString(expected)));
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(table.readText(kColNo), "2");
}

TEST_F(Commands, WithoutAnApplicationForWorkbooksABoxNamesTheFile)
{
    addOperational(1);
    showTab(0);
    opener.answer = false;
    ui::exportCurrentTab(nullptr, table, 0);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].icon, QMessageBox::Information);
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("ВЕЛАРИ-5"));
    EXPECT_TRUE(boxes.shown[0].text.contains(QString::fromStdString(tmp.path("ВЕЛАРИ-5.xlsx"))))
        << boxes.shown[0].text.toStdString();
}

TEST_F(Commands, AFailedExportShowsTheGeneralErrorBoxAndSavesNothing)
{
    addOperational(1);
    appendRow(table, OperationalRow{"2", "A", "3", "01.03.2007", "10:00:02", ""});
    addOperational(1, 3);
    showTab(0);
    EXPECT_TRUE(ui::exportCurrentTab(nullptr, table, 0).isEmpty());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("'' is not a valid floating point value."));
    EXPECT_EQ(boxes.shown[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(opener.opened.empty());
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::u8path(tmp.path("ВЕЛАРИ-5.xlsx"))));
    EXPECT_EQ(table.readText(kColNo), "2") << "the failing row is current";
}

TEST_F(Commands, PreviewDrawsOnlyThePagesShownAndLeavesTheLastRowCurrent)
{
    addOperational(50); // three pages
    appendRow(table, ObservationRow{2, "1", "05.06.2024", "10:20", "24", "10", "1,00", "A2"});
    showTab(0);
    table.first();
    std::vector<int> drawn;
    int pageCount = 0;
    QTimer::singleShot(0, [&] {
        auto* preview = qobject_cast<reports::ReportPreview*>(QApplication::activeModalWidget());
        ASSERT_NE(preview, nullptr);
        preview->grab();
        preview->setPage(2);
        preview->grab();
        preview->setZoom(2.0);
        preview->grab();
        drawn = preview->drawnPages();
        pageCount = preview->findChild<QSpinBox*>()->maximum();
        preview->done(2);
    });
    reports::previewReport(nullptr, table, 0);
    EXPECT_EQ(pageCount, 3);
    ASSERT_FALSE(drawn.empty());
    EXPECT_EQ(drawn.front(), 0);
    EXPECT_EQ(drawn.back(), 2);
    EXPECT_EQ(std::count(drawn.begin(), drawn.end(), 1), 0) << "page 2 was never shown";
    EXPECT_EQ(table.readText(kColNo), "50");
}

TEST_F(Commands, PrintSendsThePagesOfTheChosenRangeThroughTheDialog)
{
    addOperational(50);
    showTab(0);
    printDialog.output = tmp.path("printed.pdf");
    printDialog.from = 2;
    printDialog.to = 3;
    reports::printReport(nullptr, table, 0);
    EXPECT_EQ(printDialog.calls, 1);
    EXPECT_EQ(printDialog.pageCount, 3);
    EXPECT_TRUE(boxes.shown.empty());
    const std::string info = runCommand("pdfinfo " + shellQuote(printDialog.output)).out;
    EXPECT_NE(info.find("Pages:           2\n"), std::string::npos) << info;
    EXPECT_NE(info.find("(A4)"), std::string::npos) << info;
    const std::string text = pdfText(printDialog.output);
    EXPECT_EQ(text.find("Стр. 1 из 3"), std::string::npos);
    EXPECT_NE(text.find("Стр. 2 из 3"), std::string::npos);
    EXPECT_NE(text.find("Стр. 3 из 3"), std::string::npos);
    EXPECT_EQ(table.readText(kColNo), "50");
}

TEST_F(Commands, PrintingAnEmptyTabGivesOnePage)
{
    showTab(9);
    printDialog.output = tmp.path("empty.pdf");
    reports::printReport(nullptr, table, 9);
    EXPECT_EQ(printDialog.pageCount, 1);
    EXPECT_NE(pdfText(printDialog.output).find("Стр. 1 из 1"), std::string::npos);
}

TEST(PrintSequence, FollowsRangesCopiesAndCollation)
{
    struct Case
    {
        std::vector<std::pair<int, int>> ranges;
        int copies;
        bool collate;
        std::vector<int> pages;
    };
    const Case cases[] = {
        {{}, 1, true, {0, 1, 2}},           {{{1, 1}, {3, 3}}, 1, true, {0, 2}},
        {{{2, 9}}, 1, true, {1, 2}},        {{}, 2, true, {0, 1, 2, 0, 1, 2}},
        {{}, 2, false, {0, 0, 1, 1, 2, 2}}, {{{5, 6}}, 1, true, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(reports::printSequence(3, c.ranges, c.copies, c.collate), c.pages);
}

TEST_F(Commands, CancelledPreparationStopsWhereItWas)
{
    addOperational(1500);
    showTab(0);
    std::size_t calls = 0;
    const auto report = reports::prepareReport(table, 0, [&](std::size_t done, std::size_t) {
        ++calls;
        return done < 512;
    });
    EXPECT_FALSE(report.has_value());
    EXPECT_EQ(calls, 2u);
    EXPECT_EQ(table.readText(kColNo), "512");
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
