#pragma once

// Draws the pages of a prepared report with QPainter: on a widget or image at
// any scale, and on any paged device (QPrinter, QPdfWriter).

#include "reports/Report.h"

#include <QString>

#include <vector>

class QPainter;
class QPagedPaintDevice;

namespace orx::reports {

// Draws one page (from 0) with the paper's top-left corner at the painter's
// origin, at pixelsPerUnit device pixels per report unit. Paints no
// background.
void drawPage(QPainter& painter, const PreparedReport& report, int pageIndex, double pixelsPerUnit);

// Sets the device to A4 portrait over the whole paper and draws the given
// pages (from 0), one per sheet. False when the device cannot be painted on.
bool renderPages(const PreparedReport& report, QPagedPaintDevice& device,
                 const std::vector<int>& pages);

// All pages into a PDF file. False, with the reason in error, when the file
// cannot be written.
bool writeReportPdf(const PreparedReport& report, const QString& path, QString* error = nullptr);

} // namespace orx::reports
