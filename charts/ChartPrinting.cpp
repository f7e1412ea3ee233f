#include "charts/ChartPrinting.h"

#include "ui/FileDialogs.h"
#include "ui/Seam.h"

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

using PrintingSeam = ui::Seam<ChartPrinting, SystemPrinting>;

} // namespace

ChartPrinting& chartPrinting()
{
    return PrintingSeam::current();
}

void setChartPrinting(ChartPrinting* printing)
{
    PrintingSeam::install(printing);
}

} // namespace orx::charts
