#include "reports/ReportRenderer.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <functional>
#include <memory>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace orx::reports {

namespace {

// PDF resolution: fine enough that positions keep a hundredth of a unit.
constexpr int kPdfResolution = 1200;

struct BandFont
{
    QFont font;
    QFontMetricsF metrics;
};

BandFont bandFont(const FontSpec& spec, double scale, QPaintDevice* device)
{
    QFont f(QString::fromStdString(spec.family));
    f.setPointSizeF(spec.pointSize * scale);
    f.setBold(spec.bold);
    // Unhinted outlines keep the measures of the text the same at every
    // scale, so a heading wraps alike in the preview and on paper.
    f.setHintingPreference(QFont::PreferNoHinting);
    return {f, QFontMetricsF(f, device)};
}

int alignmentFlags(const CellSpec& c)
{
    int flags = 0;
    switch (c.hAlign) {
    case HAlign::Left:
        flags |= Qt::AlignLeft;
        break;
    case HAlign::Center:
        flags |= Qt::AlignHCenter;
        break;
    case HAlign::Right:
        flags |= Qt::AlignRight;
        break;
    }
    flags |= c.vAlign == VAlign::Top ? Qt::AlignTop : Qt::AlignVCenter;
    return flags;
}

class PagePainter
{
public:
    PagePainter(QPainter& painter, const ReportLayout& layout, double pixelsPerUnit)
        : m_painter(painter), m_layout(layout), m_ppu(pixelsPerUnit)
    {
        // Fonts are given in points of the paper; the device's own dots per
        // inch turn points into pixels, so only the zoom remains to apply.
        QPaintDevice* device = painter.device();
        const double scale = pixelsPerUnit * kUnitsPerInch / device->logicalDpiY();
        m_title = std::make_unique<BandFont>(bandFont(layout.title.font, scale, device));
        m_headings = std::make_unique<BandFont>(bandFont(layout.headings.font, scale, device));
        m_data = std::make_unique<BandFont>(bandFont(layout.data.font, scale, device));
        m_footer = std::make_unique<BandFont>(bandFont(layout.footer.font, scale, device));
    }

    void drawBand(const BandSpec& band, const BandFont& font, double top,
                  const std::function<QString(std::size_t)>& textOf)
    {
        m_painter.setFont(font.font);
        for (std::size_t i = 0; i < band.cells.size(); ++i) {
            const CellSpec& c = band.cells[i];
            if (c.framed)
                m_frames.push_back(rect(c.x, top, c.width, band.height));
            const QString text = textOf(i);
            if (text.isEmpty())
                continue;
            const QRectF inner =
                rect(c.x + m_layout.paddingX, top + m_layout.paddingY,
                     c.width - 2 * m_layout.paddingX, band.height - 2 * m_layout.paddingY);
            drawText(font.metrics, inner, c, text);
        }
    }

    void drawFrames()
    {
        if (m_frames.empty())
            return;
        QPen pen(Qt::black, m_layout.frameWidth * m_ppu, Qt::SolidLine, Qt::SquareCap,
                 Qt::MiterJoin);
        m_painter.setPen(pen);
        m_painter.setBrush(Qt::NoBrush);
        m_painter.drawRects(m_frames.data(), static_cast<int>(m_frames.size()));
        m_frames.clear();
    }

    const BandFont& title() const { return *m_title; }
    const BandFont& headings() const { return *m_headings; }
    const BandFont& data() const { return *m_data; }
    const BandFont& footer() const { return *m_footer; }

private:
    QRectF rect(double x, double y, double w, double h) const
    {
        return QRectF(x * m_ppu, y * m_ppu, w * m_ppu, h * m_ppu);
    }

    void drawText(const QFontMetricsF& fm, const QRectF& inner, const CellSpec& c,
                  const QString& text)
    {
        m_painter.setPen(Qt::black);
        const double advance = fm.horizontalAdvance(text);
        if (c.wrap && advance > inner.width()) {
            m_painter.drawText(inner, alignmentFlags(c) | Qt::TextWordWrap, text);
            return;
        }
        // One line: placed by its measures, cheaper than a text layout.
        double x = inner.left();
        if (c.hAlign == HAlign::Center)
            x = inner.center().x() - advance / 2;
        else if (c.hAlign == HAlign::Right)
            x = inner.right() - advance;
        const double y = c.vAlign == VAlign::Top
                             ? inner.top() + fm.ascent()
                             : inner.center().y() + (fm.ascent() - fm.descent()) / 2;
        m_painter.drawText(QPointF(x, y), text);
    }

    QPainter& m_painter;
    const ReportLayout& m_layout;
    double m_ppu;
    std::unique_ptr<BandFont> m_title, m_headings, m_data, m_footer;
    std::vector<QRectF> m_frames;
};

// The PDF writer takes and gives back a large buffer for every page; with
// the C library's default settings each give-back returns the memory to the
// system and the next page faults it in again, which costs more than the
// drawing. While pages are drawn the heap keeps what it took, and gives it
// back once at the end.
class HeapKeptWhileDrawing
{
public:
    HeapKeptWhileDrawing()
    {
#if defined(__GLIBC__)
        mallopt(M_MMAP_THRESHOLD, kKeptBytes);
        mallopt(M_TRIM_THRESHOLD, kKeptBytes);
        mallopt(M_TOP_PAD, kTopPad);
#endif
    }
    ~HeapKeptWhileDrawing()
    {
#if defined(__GLIBC__)
        mallopt(M_TOP_PAD, 0);
        mallopt(M_TRIM_THRESHOLD, kDefaultThreshold);
        mallopt(M_MMAP_THRESHOLD, kDefaultThreshold);
        malloc_trim(0);
#endif
    }
    HeapKeptWhileDrawing(const HeapKeptWhileDrawing&) = delete;
    HeapKeptWhileDrawing& operator=(const HeapKeptWhileDrawing&) = delete;

private:
    static constexpr int kKeptBytes = 32 << 20; // the largest mmap threshold allowed
    static constexpr int kTopPad = 16 << 20;
    static constexpr int kDefaultThreshold = 128 << 10;
};

} // namespace

void drawPage(QPainter& painter, const PreparedReport& report, int pageIndex, double pixelsPerUnit)
{
    const ReportLayout& layout = report.layout();
    const PagePlacement place = pagePlacement(layout, pageIndex);
    const PageSpan& span = report.page(pageIndex);

    painter.save();
    painter.setRenderHint(QPainter::TextAntialiasing);
    PagePainter pp(painter, layout, pixelsPerUnit);
    auto fixedText = [](const BandSpec& band) {
        return [&band](std::size_t i) { return QString::fromStdString(band.cells[i].text); };
    };
    if (place.titleTop)
        pp.drawBand(layout.title, pp.title(), *place.titleTop, fixedText(layout.title));
    pp.drawBand(layout.headings, pp.headings(), place.headingsTop, fixedText(layout.headings));
    double y = place.dataTop;
    for (std::size_t r = span.firstRow; r < span.firstRow + span.rowCount; ++r) {
        pp.drawBand(layout.data, pp.data(), y, [&report, r](std::size_t i) {
            return QString::fromStdString(report.cell(r, i));
        });
        y += layout.data.height;
    }
    const QString footer = QString::fromStdString(report.footer(pageIndex));
    pp.drawBand(layout.footer, pp.footer(), place.footerTop,
                [&footer](std::size_t) { return footer; });
    pp.drawFrames();
    painter.restore();
}

bool renderPages(const PreparedReport& report, QPagedPaintDevice& device,
                 const std::vector<int>& pages)
{
    QPageLayout paper(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0),
                      QPageLayout::Millimeter);
    // Positions are measured from the paper's edge, not from a printable area.
    paper.setMode(QPageLayout::FullPageMode);
    device.setPageLayout(paper);
    const HeapKeptWhileDrawing keep;
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const double pixelsPerUnit = device.logicalDpiX() / kUnitsPerInch;
    bool first = true;
    for (int page : pages) {
        if (!first && !device.newPage())
            return false;
        first = false;
        drawPage(painter, report, page, pixelsPerUnit);
    }
    return painter.end();
}

bool writeReportPdf(const PreparedReport& report, const QString& path, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    {
        QPdfWriter pdf(&file);
        pdf.setResolution(kPdfResolution);
        pdf.setTitle(QStringLiteral("ВЕЛАРИ-5"));
        pdf.setCreator(QStringLiteral("ВЕЛАРИ-5"));
        std::vector<int> pages(static_cast<std::size_t>(report.pageCount()));
        for (int i = 0; i < report.pageCount(); ++i)
            pages[static_cast<std::size_t>(i)] = i;
        if (!renderPages(report, pdf, pages)) {
            file.cancelWriting();
            if (error)
                *error = file.errorString();
            return false;
        }
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace orx::reports
