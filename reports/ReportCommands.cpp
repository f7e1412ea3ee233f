#include "reports/ReportCommands.h"

#include "reports/ReportPreview.h"
#include "reports/ReportRenderer.h"
#include "ui/MessageBoxes.h"
#include "ui/Seam.h"

#include <QDir>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressDialog>

#include <algorithm>
#include <limits>

namespace orx::reports {

namespace {

class QtPrintDialog : public PrintDialog
{
public:
    bool exec(QWidget* parent, QPrinter& printer, int pageCount) override
    {
        QPrintDialog dialog(&printer, parent);
        dialog.setWindowTitle(QStringLiteral("Печать"));
        // Printer and its settings, copies, collation, all pages or ranges
        // such as 1,3,5-12; no "current page" and no selection.
        dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintPageRange |
                          QAbstractPrintDialog::PrintCollateCopies |
                          QAbstractPrintDialog::PrintShowPageSize);
        dialog.setMinMax(1, pageCount);
        return dialog.exec() == QDialog::Accepted;
    }
};

using PrintDialogSeam = ui::Seam<PrintDialog, QtPrintDialog>;

// The program's name, whatever table is open: the progress caption, the
// printed document's name and the default PDF file name.
QString programName()
{
    return QString::fromUtf8(ui::kApplicationTitle);
}

} // namespace

PrintDialog& printDialog()
{
    return PrintDialogSeam::current();
}

void setPrintDialog(PrintDialog* dialog)
{
    PrintDialogSeam::install(dialog);
}

std::optional<PreparedReport> prepareWithProgress(QWidget* parent, ArchiveTable& table, int tab)
{
    QProgressDialog progress(QStringLiteral("Подготовка отчёта..."), QStringLiteral("Отмена"), 0, 1,
                             parent);
    progress.setWindowTitle(programName());
    progress.setWindowModality(Qt::WindowModal);
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    try {
        return prepareReport(table, tab, [&progress](std::size_t done, std::size_t total) {
            const std::size_t cap = std::numeric_limits<int>::max();
            progress.setMaximum(static_cast<int>(std::max<std::size_t>(1, std::min(total, cap))));
            progress.setValue(static_cast<int>(std::min(done, cap)));
            return !progress.wasCanceled();
        });
    } catch (const std::exception& e) {
        ui::showErrorBox(parent, e);
        return std::nullopt;
    }
}

void previewReport(QWidget* parent, ArchiveTable& table, int tab)
{
    const std::optional<PreparedReport> report = prepareWithProgress(parent, table, tab);
    if (!report)
        return;
    ReportPreview preview(*report, parent);
    preview.exec();
}

void printReport(QWidget* parent, ArchiveTable& table, int tab)
{
    const std::optional<PreparedReport> report = prepareWithProgress(parent, table, tab);
    if (report)
        printPrepared(parent, *report);
}

std::vector<int> printSequence(int pageCount, const std::vector<std::pair<int, int>>& ranges,
                               int copies, bool collate)
{
    std::vector<int> pages;
    if (ranges.empty()) {
        for (int p = 0; p < pageCount; ++p)
            pages.push_back(p);
    } else {
        for (const auto& [from, to] : ranges) {
            for (int p = std::max(from, 1); p <= std::min(to, pageCount); ++p)
                pages.push_back(p - 1);
        }
    }
    copies = std::max(copies, 1);
    std::vector<int> sequence;
    if (collate) {
        for (int c = 0; c < copies; ++c)
            sequence.insert(sequence.end(), pages.begin(), pages.end());
    } else {
        for (int p : pages)
            sequence.insert(sequence.end(), static_cast<std::size_t>(copies), p);
    }
    return sequence;
}

bool printPrepared(QWidget* parent, const PreparedReport& report)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setCopyCount(1);
    printer.setCollateCopies(true);
    printer.setDocName(programName());
    if (QPrinterInfo::availablePrinters().isEmpty()) {
        // Without a printer the dialog offers a PDF file instead.
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QDir::home().filePath(programName() + ".pdf"));
    }
    if (!printDialog().exec(parent, printer, report.pageCount()))
        return false;

    std::vector<std::pair<int, int>> ranges;
    if (printer.printRange() == QPrinter::PageRange) {
        for (const QPageRanges::Range& r : printer.pageRanges().toRangeList())
            ranges.emplace_back(r.from, r.to);
    }
    // A driver that makes the copies itself gets each page once.
    const bool driverCopies = printer.supportsMultipleCopies();
    const std::vector<int> pages =
        printSequence(report.pageCount(), ranges, driverCopies ? 1 : printer.copyCount(),
                      printer.collateCopies());
    printer.setFullPage(true);
    if (pages.empty() || !renderPages(report, printer, pages)) {
        ui::showErrorBox(parent, QStringLiteral("Не удалось напечатать отчёт"));
        return false;
    }
    return true;
}

} // namespace orx::reports
