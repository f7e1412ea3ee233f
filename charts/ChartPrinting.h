#pragma once

// Where a printed chart goes: the default printer, or, on a system without
// any printer, a PDF file that the operator names. Tests put their own
// target in its place.

#include <memory>

class QPagedPaintDevice;
class QWidget;

namespace orx::charts {

class ChartPrinting
{
public:
    virtual ~ChartPrinting() = default;
    // A device for one page, or nullptr when the operator cancelled the choice.
    virtual std::unique_ptr<QPagedPaintDevice> pageDevice(QWidget* parent) = 0;
};

ChartPrinting& chartPrinting();
// nullptr restores the real printer.
void setChartPrinting(ChartPrinting* printing);

} // namespace orx::charts
