#include "charts/ChartPrinting.h"

#include "ui/FileDialogs.h"

#include <QPrinter>
#include <QPrinterInfo>

namespace orx::charts {

namespace {

class SystemPrinting : public ChartPrinting
{
public:
    std::unique_ptr<QPagedPaintDevice> pageDevice(QWidget* parent) override
    {
        const QPrinterInfo info = QPrinterInfo::defaultPrinter();
        if (!info.isNull())
            return std::make_unique<QPrinter>(info, QPrinter::HighResolution);
        const QString path = ui::fileDialogs().getSaveFileName(
            parent, {QStringLiteral("Сохранить график"), QString(),
                     QStringLiteral("Файлы PDF (*.pdf)"), QStringLiteral("pdf")});
        if (path.isEmpty())
            return nullptr;
        auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(path);
        return printer;
    }
};

ChartPrinting* g_printing = nullptr;

} // namespace

ChartPrinting& chartPrinting()
{
    static SystemPrinting system;
    return g_printing ? *g_printing : system;
}

void setChartPrinting(ChartPrinting* printing)
{
    g_printing = printing;
}

} // namespace orx::charts
