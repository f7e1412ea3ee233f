// Timings of the workbook export and the paper report, for
// bench/export_report_side_by_side.sh, which runs Python's XlsxWriter and
// ReportLab on the same rows in the same run.
//
//   export_report_bench [--rows-csv FILE]
//
// Prints one "name value unit" line per figure. With --rows-csv it also
// writes the 13,107 operational rows as CSV (UTF-8) for the Python side.

#include "archive/Cp1251.h"
#include "archive/RecordModel.h"
#include "archive/TextFormats.h"
#include "bench/BenchSupport.h"
#include "export/ExcelExport.h"
#include "reports/Report.h"
#include "reports/ReportPreview.h"
#include "reports/ReportRenderer.h"
#include "storage/ArchiveTable.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using namespace orx;

namespace {

constexpr int kFullArchiveRows = 13107;
constexpr int kLargeRows = 100000;
constexpr int kRepeats = 5;

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void openTab0(ArchiveTable& table, const std::string& path)
{
    table.open(path);
    table.setFilter(ArchiveTable::blockFilter(0));
    table.setFiltered(true);
}

void writeRowsCsv(const std::string& tablePath, const std::string& csvPath)
{
    ArchiveTable table;
    openTab0(table, tablePath);
    std::ofstream out(csvPath);
    for (table.first(); !table.eof(); table.next()) {
        out << table.readText(kColNo) << ';' << cp1251ToUtf8(table.readText(kColDate)) << ';'
            << table.readText(kColTime) << ';' << cp1251ToUtf8(table.readText(kColModule)) << ';'
            << table.readText(kColSensor) << ';' << table.readText(kColTemperature) << '\n';
    }
    table.release();
}

double bestExportMs(const std::string& tablePath, const std::string& out)
{
    double best = 1e18;
    for (int i = 0; i < kRepeats; ++i) {
        ArchiveTable table;
        openTab0(table, tablePath);
        const auto start = Clock::now();
        exp2excel(table, 0, out);
        best = std::min(best, millisecondsSince(start));
        table.release();
    }
    return best;
}

// A line of /proc/self/status in KiB ("VmRSS", "VmHWM").
long statusKiB(const std::string& name)
{
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(name + ":", 0) == 0)
            return std::stol(line.substr(name.size() + 1));
    }
    return -1;
}

// How much the resident memory grows during an export, in MiB: measured in a
// child process whose peak starts at what it holds before the export.
double exportGrowthMiB(const std::string& tablePath, const std::string& out)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        ArchiveTable table;
        openTab0(table, tablePath);
        std::ofstream("/proc/self/clear_refs") << "5"; // resets the peak to the present size
        const long before = statusKiB("VmRSS");
        exp2excel(table, 0, out);
        const double grown = (statusKiB("VmHWM") - before) / 1024.0;
        table.release();
        (void)!write(pipeFds[1], &grown, sizeof grown);
        _exit(0);
    }
    double grown = -1;
    (void)!read(pipeFds[0], &grown, sizeof grown);
    close(pipeFds[0]);
    close(pipeFds[1]);
    waitpid(pid, nullptr, 0);
    return grown;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen"); // the preview is measured without a display
    QApplication app(argc, argv);
    std::string rowsCsv;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--rows-csv")
            rowsCsv = argv[i + 1];
    }
    const std::string dir = bench::benchDir();

    const std::string full = bench::operationalTable(kFullArchiveRows);
    if (!rowsCsv.empty())
        writeRowsCsv(full, rowsCsv);

    // The workbook.
    std::printf("export_13107_rows %.1f ms\n", bestExportMs(full, dir + "/full.xlsx"));
    const std::string large = bench::operationalTable(kLargeRows);
    std::printf("export_100000_rows %.1f ms\n", bestExportMs(large, dir + "/large.xlsx"));
    std::printf("export_memory_growth_13107_rows %.1f MiB\n",
                exportGrowthMiB(full, dir + "/m1.xlsx"));
    std::printf("export_memory_growth_100000_rows %.1f MiB\n",
                exportGrowthMiB(large, dir + "/m2.xlsx"));

    // The report to PDF, both passes and every page.
    double bestPdf = 1e18;
    int pages = 0;
    for (int i = 0; i < kRepeats; ++i) {
        ArchiveTable table;
        openTab0(table, full);
        const auto start = Clock::now();
        const auto report = reports::prepareReport(table, 0);
        reports::writeReportPdf(*report, QString::fromStdString(dir + "/report.pdf"));
        bestPdf = std::min(bestPdf, millisecondsSince(start));
        pages = report->pageCount();
        table.release();
    }
    std::printf("report_pdf_13107_rows %.1f ms (%d pages)\n", bestPdf, pages);

    // The preview up to its first page on screen.
    double bestPreview = 1e18;
    for (int i = 0; i < kRepeats; ++i) {
        ArchiveTable table;
        openTab0(table, full);
        const auto start = Clock::now();
        const auto report = reports::prepareReport(table, 0);
        reports::ReportPreview preview(*report);
        preview.show();
        preview.grab(); // paints the page shown
        bestPreview = std::min(bestPreview, millisecondsSince(start));
        table.release();
    }
    std::printf("preview_first_page_13107_rows %.1f ms\n", bestPreview);

    return 0; // the folder goes with the run
}
