#include "reports/ReportPreview.h"

#include "reports/ReportCommands.h"
#include "reports/ReportRenderer.h"

#include <QAction>
#include <QComboBox>
#include <QKeySequence>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace orx::reports {

namespace {

constexpr double kMinZoom = 0.25;
constexpr double kMaxZoom = 4.0;
constexpr double kZoomStep = 1.25;
const double kZoomChoices[] = {0.5, 0.75, 1.0, 1.25, 1.5, 2.0, 3.0};
constexpr int kFitWidthChoice = -1;
// Grey border around the sheet on screen, in pixels.
constexpr int kSheetBorder = 12;

} // namespace

// The sheet of the page shown, drawn at the preview's zoom when painted.
class PageView : public QWidget
{
public:
    PageView(const PreparedReport& report, QWidget* parent) : QWidget(parent), m_report(report)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    void show(int page, double zoom)
    {
        m_page = page;
        m_zoom = zoom;
        const QSize sheet = sheetSize();
        setFixedSize(sheet.width() + 2 * kSheetBorder, sheet.height() + 2 * kSheetBorder);
        update();
    }

    double pixelsPerUnit() const { return m_zoom * logicalDpiX() / kUnitsPerInch; }
    double sheetWidthAtZoom(double zoom) const
    {
        return m_report.layout().pageWidth * zoom * logicalDpiX() / kUnitsPerInch;
    }
    const std::vector<int>& drawn() const { return m_drawn; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), palette().color(QPalette::Dark));
        const QSize sheet = sheetSize();
        p.fillRect(QRect(QPoint(kSheetBorder, kSheetBorder), sheet), Qt::white);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(kSheetBorder, kSheetBorder);
        drawPage(p, m_report, m_page, pixelsPerUnit());
        m_drawn.push_back(m_page);
    }

private:
    QSize sheetSize() const
    {
        const double ppu = pixelsPerUnit();
        return QSize(static_cast<int>(std::lround(m_report.layout().pageWidth * ppu)),
                     static_cast<int>(std::lround(m_report.layout().pageHeight * ppu)));
    }

    const PreparedReport& m_report;
    int m_page = 0;
    double m_zoom = 1.0;
    std::vector<int> m_drawn;
};

ReportPreview::ReportPreview(const PreparedReport& report, QWidget* parent)
    : QDialog(parent), m_report(report)
{
    setWindowTitle(QStringLiteral("Предварительный просмотр"));
    setModal(true);

    auto* bar = new QToolBar(this);
    auto* first = bar->addAction(QStringLiteral("|<"), this, [this] { setPage(0); });
    first->setToolTip(QStringLiteral("Первая страница"));
    auto* prev = bar->addAction(QStringLiteral("<"), this, [this] { setPage(m_page - 1); });
    prev->setToolTip(QStringLiteral("Предыдущая страница"));
    prev->setShortcut(QKeySequence::MoveToPreviousPage);
    m_pageBox = new QSpinBox(bar);
    m_pageBox->setRange(1, m_report.pageCount());
    m_pageBox->setAccessibleName(QStringLiteral("Страница"));
    bar->addWidget(m_pageBox);
    m_pageCount = new QLabel(QStringLiteral(" из %1 ").arg(m_report.pageCount()), bar);
    bar->addWidget(m_pageCount);
    auto* next = bar->addAction(QStringLiteral(">"), this, [this] { setPage(m_page + 1); });
    next->setToolTip(QStringLiteral("Следующая страница"));
    next->setShortcut(QKeySequence::MoveToNextPage);
    auto* last =
        bar->addAction(QStringLiteral(">|"), this, [this] { setPage(m_report.pageCount() - 1); });
    last->setToolTip(QStringLiteral("Последняя страница"));
    bar->addSeparator();
    auto* out = bar->addAction(QStringLiteral("−"), this, &ReportPreview::zoomOut);
    out->setToolTip(QStringLiteral("Уменьшить"));
    out->setShortcut(QKeySequence::ZoomOut);
    m_zoomBox = new QComboBox(bar);
    m_zoomBox->setAccessibleName(QStringLiteral("Масштаб"));
    for (double z : kZoomChoices)
        m_zoomBox->addItem(QStringLiteral("%1 %").arg(std::lround(z * 100)), z);
    m_zoomBox->addItem(QStringLiteral("По ширине"), kFitWidthChoice);
    bar->addWidget(m_zoomBox);
    auto* in = bar->addAction(QStringLiteral("+"), this, &ReportPreview::zoomIn);
    in->setToolTip(QStringLiteral("Увеличить"));
    in->setShortcut(QKeySequence::ZoomIn);
    bar->addSeparator();
    auto* print = bar->addAction(QStringLiteral("Печать..."), this, &ReportPreview::printPages);
    print->setShortcut(QKeySequence::Print);
    auto* close = bar->addAction(QStringLiteral("Закрыть"), this, [this] { done(2); });
    close->setShortcut(Qt::Key_Escape);

    m_view = new PageView(m_report, this);
    m_scroll = new QScrollArea(this);
    m_scroll->setWidget(m_view);
    m_scroll->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_scroll->setBackgroundRole(QPalette::Dark);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(m_scroll, 1);

    connect(m_pageBox, &QSpinBox::valueChanged, this, [this](int v) { setPage(v - 1); });
    connect(m_zoomBox, &QComboBox::activated, this, &ReportPreview::zoomChosen);

    resize(900, 1000);
    m_zoomBox->setCurrentIndex(m_zoomBox->findData(1.0));
    m_view->show(m_page, m_zoom);
    updateControls();
}

ReportPreview::~ReportPreview() = default;

const std::vector<int>& ReportPreview::drawnPages() const
{
    return m_view->drawn();
}

void ReportPreview::setPage(int pageIndex)
{
    pageIndex = std::clamp(pageIndex, 0, m_report.pageCount() - 1);
    if (pageIndex == m_page)
        return;
    m_page = pageIndex;
    m_view->show(m_page, m_zoom);
    m_scroll->verticalScrollBar()->setValue(0);
    updateControls();
}

void ReportPreview::setZoom(double zoom)
{
    m_zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
    m_view->show(m_page, m_zoom);
    const int index = m_zoomBox->findData(m_zoom);
    if (index >= 0)
        m_zoomBox->setCurrentIndex(index);
    else
        m_zoomBox->setEditText(QStringLiteral("%1 %").arg(std::lround(m_zoom * 100)));
}

void ReportPreview::zoomIn()
{
    setZoom(m_zoom * kZoomStep);
}

void ReportPreview::zoomOut()
{
    setZoom(m_zoom / kZoomStep);
}

void ReportPreview::zoomChosen(int index)
{
    const double choice = m_zoomBox->itemData(index).toDouble();
    if (choice == kFitWidthChoice)
        fitWidth();
    else
        setZoom(choice);
}

void ReportPreview::fitWidth()
{
    const double room = m_scroll->viewport()->width() - 2 * kSheetBorder;
    const double atOne = m_view->sheetWidthAtZoom(1.0);
    if (atOne > 0)
        setZoom(room / atOne);
}

void ReportPreview::printPages()
{
    printPrepared(this, m_report);
}

void ReportPreview::updateControls()
{
    const QSignalBlocker block(m_pageBox);
    m_pageBox->setValue(m_page + 1);
}

} // namespace orx::reports
