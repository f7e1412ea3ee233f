#pragma once

// "Предварительный просмотр" (N8Click) and "Печать" (N9Click, N22Click): the
// report of the current tab prepared under a progress window that can be
// cancelled, then shown in the preview or sent through the print dialog.

#include "reports/Report.h"

#include <optional>
#include <vector>

class QPrinter;
class QWidget;

namespace orx::reports {

// The print dialog: printer and its settings, copies, collation and page
// ranges. Tests put their own in its place.
class PrintDialog
{
public:
    virtual ~PrintDialog() = default;
    // Lets the operator set up the printer for a report of pageCount pages;
    // true when confirmed.
    virtual bool exec(QWidget* parent, QPrinter& printer, int pageCount) = 0;
};

// The dialog in use; nullptr restores Qt's QPrintDialog.
PrintDialog& printDialog();
void setPrintDialog(PrintDialog* dialog);

// Prepares the report of tab `tab` with a progress window. Empty when
// cancelled, or after an error, which the general error box has shown.
std::optional<PreparedReport> prepareWithProgress(QWidget* parent, ArchiveTable& table, int tab);

// N8Click: prepares and shows the modal preview.
void previewReport(QWidget* parent, ArchiveTable& table, int tab);

// N9Click and N22Click: prepares, then prints through the print dialog.
void printReport(QWidget* parent, ArchiveTable& table, int tab);

// The print dialog for prepared pages, then the pages to the printer. True
// when printed.
bool printPrepared(QWidget* parent, const PreparedReport& report);

// The pages (from 0) in the order they go to the printer: the printer's
// page ranges, each copy in turn when collating, or each page repeated.
std::vector<int> printSequence(int pageCount, const std::vector<std::pair<int, int>>& ranges,
                               int copies, bool collate);

} // namespace orx::reports
