// orx-cli report: the paper report of one tab as a PDF, the pages that
// "Печать" gives, without windows.

#include "reports/Report.h"
#include "reports/ReportRenderer.h"
#include "storage/ArchiveTable.h"
#include "tools/orx-cli/TabCommand.h"

#include <QGuiApplication>

#include <cstdlib>
#include <iostream>
#include <memory>

namespace orx::cli {

namespace {

// Qt's notes about its own set-up (a missing runtime folder without a
// desktop session) are no business of the command's user.
void quietQt(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::cerr << text.toStdString() << "\n";
}

// Fonts and painting need a GUI application; without a display it draws
// off screen.
std::unique_ptr<QGuiApplication> guiApplication()
{
    if (QCoreApplication::instance())
        return nullptr;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietQt);
    static int argc = 1;
    static char name[] = "orx-cli";
    static char* argv[] = {name, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

} // namespace

int runReport(const Args& args)
{
    TabCommandArgs a;
    const std::string wrong = parseTabCommandArgs(args, "report", true, a);
    if (!wrong.empty())
        return usage(wrong);
    ArchiveTable table;
    if (const int status = openTabTable(table, a); status != kExitOk)
        return status;
    const std::unique_ptr<QGuiApplication> app = guiApplication();
    try {
        const std::optional<reports::PreparedReport> report = reports::prepareReport(table, a.tab);
        table.release(); // a report leaves the table file as it was
        QString error;
        if (!reports::writeReportPdf(*report, QString::fromStdString(a.output), &error)) {
            std::cerr << errorBoxText(error.toStdString()) << "\n";
            return kExitError;
        }
        std::cout << report->pageCount() << " pages\n";
    } catch (const std::exception& e) {
        std::cerr << errorBoxText(e.what()) << "\n";
        table.release();
        return kExitError;
    }
    return kExitOk;
}

} // namespace orx::cli
