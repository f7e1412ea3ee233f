#include "charts/graf.h"

#include "charts/AxisTime.h"
#include "charts/ChartPrinting.h"
#include "charts/param_graf.h"
#include "ui/FileDialogs.h"
#include "ui/MessageBoxes.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QGraphicsSimpleTextItem>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QMenu>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPushButton>
#include <QRubberBand>
#include <QScreen>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QValueAxis>

#include <algorithm>
#include <limits>

namespace orx::ui {

namespace {
constexpr int kPdfResolution = 144; // dots per inch of a saved PDF picture

constexpr int kDialogOk = 1;
constexpr int kClientWidth = 1079;
constexpr int kClientHeight = 685;
// The chart leaves one pixel at the right and three at the bottom of the client area.
constexpr int kChartRightGap = 1;
constexpr int kChartBottomGap = 3;
constexpr int kSwitchLeft = 8;
constexpr int kSwitchBottom = 8;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kButtonRight = 6;
constexpr int kButtonBottom = 4;
constexpr double kTopMarginShare = 0.05;
constexpr int kSideMargin = 8;
constexpr int kLegendFontPixels = 13; // Arial 10 pt
constexpr int kMarkerSize = 4;
constexpr int kSmallMarkerSize = 3; // Series2
constexpr int kZoomThreshold = 16;
constexpr double kPageMarginShare = 0.04;
constexpr qint64 kSinglePointTimePad = 30 * 60 * 1000; // ms either side of one moment
constexpr double kSinglePointValuePad = 1.0;

const char* const kTimeFormat = "dd.MM.yyyy hh:mm:ss";
const char* const kTemperatureTitle = "T,C";

// Series1 .. Series21.
const QColor kColours[kBlockCount] = {
    {255, 0, 0},   {0, 0, 255},     {0, 128, 0},   {255, 255, 0}, {255, 255, 255}, {128, 128, 128},
    {255, 0, 255}, {0, 128, 128},   {0, 0, 128},   {128, 0, 0},   {0, 255, 0},     {128, 128, 0},
    {128, 0, 128}, {192, 192, 192}, {0, 255, 255}, {0, 0, 0},     {64, 128, 128},  {0, 128, 255},
    {128, 0, 0},   {255, 128, 255}, {0, 0, 0}};

QImage squareMarker(const QColor& colour, int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    return image;
}

QString errorText(const charts::ChartTextError& e)
{
    const QString text = QString::fromStdString(e.text());
    return e.kind() == charts::ChartTextError::Kind::DateTime
               ? QStringLiteral("'%1' is not a valid date and time").arg(text)
               : QStringLiteral("'%1' is not a valid floating point value").arg(text);
}

} // namespace

// ---------------------------------------------------------------- ChartView

void ChartView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_zooming = true;
        m_zoomStart = event->position().toPoint();
        if (!m_band)
            m_band = new QRubberBand(QRubberBand::Rectangle, this);
        m_band->setGeometry(QRect(m_zoomStart, QSize()));
        m_band->show();
    } else if (event->button() == Qt::RightButton) {
        m_scrolling = true;
        m_scrolled = false;
        m_scrollLast = event->position().toPoint();
    }
    event->accept();
}

void ChartView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (m_zooming && m_band)
        m_band->setGeometry(QRect(m_zoomStart, pos).normalized());
    if (m_scrolling) {
        const QPoint delta = pos - m_scrollLast;
        m_scrollLast = pos;
        if (!delta.isNull()) {
            m_scrolled = true;
            Q_EMIT scrollRequested(delta);
        }
    }
    event->accept();
}

void ChartView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && m_zooming) {
        m_zooming = false;
        if (m_band)
            m_band->hide();
        const QPoint end = event->position().toPoint();
        const int dx = end.x() - m_zoomStart.x();
        const int dy = end.y() - m_zoomStart.y();
        if (dx > kZoomThreshold && dy > kZoomThreshold)
            Q_EMIT zoomRequested(QRectF(m_zoomStart, end));
        else if (dx < -kZoomThreshold && dy < -kZoomThreshold)
            Q_EMIT unzoomRequested();
    } else if (event->button() == Qt::RightButton) {
        m_scrolling = false;
        if (!m_scrolled)
            Q_EMIT menuRequested(event->globalPosition().toPoint());
    }
    event->accept();
}

// ---------------------------------------------------------------- TForm3

TForm3::TForm3(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QString());
    setAccessibleName(QStringLiteral("График"));
    setModal(true);
    resize(kClientWidth, kClientHeight);

    auto* chart = new QChart;
    chart->setBackgroundRoundness(0);
    chart->setBackgroundBrush(palette().color(QPalette::Button));
    chart->setPlotAreaBackgroundVisible(false); // the panel colour shows behind the lines
    chart->setAnimationOptions(QChart::NoAnimation);
    // Temperature labels with the decimal comma, as the table stores them.
    chart->setLocale(QLocale(QLocale::Russian, QLocale::Russia));
    chart->setLocalizeNumbers(true);
    chart->legend()->setAlignment(Qt::AlignBottom);
    QFont legendFont(QStringLiteral("Liberation Sans"));
    legendFont.setPixelSize(kLegendFontPixels);
    chart->legend()->setFont(legendFont);
    chart->legend()->setLabelColor(Qt::black);

    m_timeAxis = new QDateTimeAxis;
    m_timeAxis->setFormat(QString::fromLatin1(kTimeFormat));
    m_timeAxis->setLabelsAngle(90); // reading downwards
    chart->addAxis(m_timeAxis, Qt::AlignBottom);
    m_valueAxis = new QValueAxis;
    m_valueAxis->setTitleText(QString::fromLatin1(kTemperatureTitle));
    m_valueAxis->setTitleVisible(false); // drawn horizontally beside the axis instead
    chart->addAxis(m_valueAxis, Qt::AlignLeft);

    for (int i = 0; i < kBlockCount; ++i) {
        auto* s = new QLineSeries;
        s->setObjectName(QStringLiteral("Series%1").arg(i + 1));
        s->setPen(QPen(kColours[i], 1));
        Series[static_cast<std::size_t>(i)] = s;
    }
    // Series2 .. Series21, then Series1: observation 1 is listed last and drawn on top.
    for (int i = 1; i <= kBlockCount; ++i) {
        QLineSeries* s = Series[static_cast<std::size_t>(i % kBlockCount)];
        chart->addSeries(s);
        s->attachAxis(m_timeAxis);
        s->attachAxis(m_valueAxis);
        chart->legend()->markers(s).constFirst()->setVisible(false);
    }

    Chart1 = new ChartView(chart, this);
    Chart1->setObjectName(QStringLiteral("Chart1"));
    Chart1->setFrameShape(QFrame::NoFrame);

    auto* title = new QGraphicsSimpleTextItem(QString::fromLatin1(kTemperatureTitle), chart);
    title->setFont(m_valueAxis->labelsFont());
    connect(chart, &QChart::plotAreaChanged, this, [title](const QRectF& area) {
        title->setPos(kSideMargin, area.center().y() - title->boundingRect().height() / 2);
    });
    const int titleRoom = static_cast<int>(title->boundingRect().width()) + kSideMargin;
    chart->setMargins(QMargins(kSideMargin + titleRoom, 0, kSideMargin, 0));

    CheckBox1 = new QCheckBox(QStringLiteral("Точки данных"), Chart1);
    Button1 = new QPushButton(QStringLiteral("Печать"), Chart1);
    Button1->resize(kButtonWidth, kButtonHeight);
    connect(CheckBox1, &QCheckBox::clicked, this, &TForm3::CheckBox1Click);
    connect(Button1, &QPushButton::clicked, this, &TForm3::Button1Click);
    connect(Chart1, &ChartView::zoomRequested, this, &TForm3::zoomTo);
    connect(Chart1, &ChartView::unzoomRequested, this, &TForm3::unzoom);
    connect(Chart1, &ChartView::scrollRequested, this, &TForm3::scrollBy);
    m_menu = new QMenu(this);
    m_menu->setAccessibleName(QStringLiteral("Меню графика"));
    m_menu->addAction(QStringLiteral("Сохранить изображение…"), this, &TForm3::saveImage);
    connect(Chart1, &ChartView::menuRequested, this, [this](const QPoint& at) { m_menu->popup(at); });

    placeControls();
    FormCreate();
}

void TForm3::setBuild(charts::ChartSource* source, const charts::ChartSelection& selection)
{
    m_source = source;
    m_selection = selection;
}

void TForm3::FormCreate()
{
    CheckBox1->setChecked(false);
    CheckBox1Click();
}

void TForm3::showEvent(QShowEvent* event)
{
    if (QScreen* screen = this->screen(); screen && !property("centred").toBool()) {
        move(screen->availableGeometry().center() - rect().center());
        setProperty("centred", true);
    }
    FormShow();
    QDialog::showEvent(event);
}

void TForm3::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    placeControls();
}

void TForm3::placeControls()
{
    const QSize size(std::max(0, width() - kChartRightGap),
                     std::max(0, height() - kChartBottomGap));
    Chart1->setGeometry(QRect(QPoint(0, 0), size));
    QMargins m = Chart1->chart()->margins();
    m.setTop(static_cast<int>(size.height() * kTopMarginShare));
    Chart1->chart()->setMargins(m);
    const QSize box = CheckBox1->sizeHint();
    CheckBox1->setGeometry(kSwitchLeft, size.height() - kSwitchBottom - box.height(), box.width(),
                           box.height());
    Button1->move(size.width() - kButtonRight - kButtonWidth,
                  size.height() - kButtonBottom - kButtonHeight);
}

void TForm3::FormShow()
{
    Chart1->hide(); // not redrawn while the series are filled
    try {
        charts::ChartSource* source = m_source;
        if (source)
            charts::buildSeries(*source, m_selection, m_series);
        else
            for (charts::ChartSeries& s : m_series)
                s.clear();
    } catch (const charts::ChartTextError& e) {
        fillSeries();
        showErrorBox(this, errorText(e));
        return; // the window opens with the chart hidden
    } catch (const std::exception& e) {
        fillSeries();
        showErrorBox(this, e);
        return;
    }
    fillSeries();
    Chart1->show();
    charts::scaleTemperatureAxis(m_selection, m_series, m_axis);
    applyAxes();
}

void TForm3::fillSeries()
{
    charts::LocalAxisTime clock;
    QChart* chart = Chart1->chart();
    for (int block = 0; block < kBlockCount; ++block) {
        const charts::ChartSeries& data = m_series[static_cast<std::size_t>(block)];
        QLineSeries* s = Series[static_cast<std::size_t>(charts::seriesNumber(block) - 1)];
        QList<QPointF> points;
        points.reserve(static_cast<qsizetype>(data.points.size()));
        for (const charts::ChartPoint& p : data.points)
            points.append(QPointF(static_cast<qreal>(clock.toAxis(p.x)), p.y));
        s->replace(points);
        s->setName(QString::fromStdString(data.title));
        chart->legend()->markers(s).constFirst()->setVisible(data.inLegend);
    }
}

void TForm3::setTimeRange(qint64 min, qint64 max)
{
    m_timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(min), QDateTime::fromMSecsSinceEpoch(max));
}

void TForm3::applyAxes()
{
    if (m_timeFixed) {
        setTimeRange(m_timeMin, m_timeMax);
    } else {
        qreal lo = std::numeric_limits<qreal>::max();
        qreal hi = std::numeric_limits<qreal>::lowest();
        for (QLineSeries* s : Series) {
            if (s->count() == 0)
                continue;
            lo = std::min(lo, s->at(0).x()); // the points are in ascending time
            hi = std::max(hi, s->at(s->count() - 1).x());
        }
        if (lo <= hi) {
            const auto min = static_cast<qint64>(lo);
            const auto max = static_cast<qint64>(hi);
            if (min == max)
                setTimeRange(min - kSinglePointTimePad, max + kSinglePointTimePad);
            else
                setTimeRange(min, max);
        }
    }
    if (!m_axis.automatic()) {
        m_valueAxis->setRange(m_axis.lower(), m_axis.upper());
        return;
    }
    double lo = std::numeric_limits<double>::max();
    double hi = std::numeric_limits<double>::lowest();
    for (const charts::ChartSeries& s : m_series) {
        if (s.points.empty())
            continue;
        lo = std::min(lo, s.minY());
        hi = std::max(hi, s.maxY());
    }
    if (lo > hi)
        return; // nothing plotted: the axis stays as it was drawn last
    if (lo == hi) {
        lo -= kSinglePointValuePad;
        hi += kSinglePointValuePad;
    }
    m_valueAxis->setRange(lo, hi);
    m_axis.setDrawnRange(lo, hi);
}

TForm3::Ranges TForm3::currentRanges() const
{
    return {static_cast<double>(m_timeAxis->min().toMSecsSinceEpoch()),
            static_cast<double>(m_timeAxis->max().toMSecsSinceEpoch()), m_valueAxis->min(),
            m_valueAxis->max()};
}

void TForm3::zoomTo(const QRectF& area)
{
    const QRectF plot = Chart1->chart()->plotArea();
    if (plot.width() <= 0 || plot.height() <= 0)
        return;
    if (!m_beforeZoom)
        m_beforeZoom = AxisSettings{m_timeFixed, m_timeMin, m_timeMax, m_axis};
    const Ranges r = currentRanges();
    const QRectF a =
        Chart1->chart()->mapFromScene(Chart1->mapToScene(area.toRect())).boundingRect();
    const double tPerPixel = (r.tMax - r.tMin) / plot.width();
    const double vPerPixel = (r.vMax - r.vMin) / plot.height();
    m_timeFixed = true;
    m_timeMin = static_cast<qint64>(r.tMin + (a.left() - plot.left()) * tPerPixel);
    m_timeMax = static_cast<qint64>(r.tMin + (a.right() - plot.left()) * tPerPixel);
    m_axis.setFixed(r.vMax - (a.bottom() - plot.top()) * vPerPixel,
                    r.vMax - (a.top() - plot.top()) * vPerPixel);
    applyAxes();
}

void TForm3::unzoom()
{
    if (!m_beforeZoom)
        return;
    m_timeFixed = m_beforeZoom->timeFixed;
    m_timeMin = m_beforeZoom->timeMin;
    m_timeMax = m_beforeZoom->timeMax;
    m_axis = m_beforeZoom->temperature;
    m_beforeZoom.reset();
    applyAxes();
}

void TForm3::scrollBy(const QPointF& delta)
{
    const QRectF plot = Chart1->chart()->plotArea();
    if (plot.width() <= 0 || plot.height() <= 0)
        return;
    const Ranges r = currentRanges();
    const double dt = -delta.x() * (r.tMax - r.tMin) / plot.width();
    const double dv = delta.y() * (r.vMax - r.vMin) / plot.height();
    m_timeFixed = true;
    m_timeMin = static_cast<qint64>(r.tMin + dt);
    m_timeMax = static_cast<qint64>(r.tMax + dt);
    m_axis.setFixed(r.vMin + dv, r.vMax + dv);
    applyAxes();
}

void TForm3::CheckBox1Click()
{
    const bool shown = CheckBox1->isChecked();
    for (int i = 0; i < kBlockCount; ++i) {
        QLineSeries* s = Series[static_cast<std::size_t>(i)];
        const int size = i == 1 ? kSmallMarkerSize : kMarkerSize;
        s->setMarkerSize(size);
        s->setLightMarker(shown ? squareMarker(kColours[i], size) : QImage());
        s->setPointsVisible(shown);
    }
}

void TForm3::Button1Click()
{
    std::unique_ptr<QPagedPaintDevice> device = charts::chartPrinting().pageDevice(this);
    if (!device)
        return;
    if (!printTo(*device))
        showErrorBox(this, QStringLiteral("Не удалось напечатать график"));
}

bool TForm3::printTo(QPagedPaintDevice& device)
{
    if (auto* printer = dynamic_cast<QPrinter*>(&device))
        printer->setFullPage(true); // the 4 % margins are measured from the paper's edge
    device.setPageOrientation(QPageLayout::Landscape);
    device.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    const int mx = qRound(device.width() * kPageMarginShare);
    const int my = qRound(device.height() * kPageMarginShare);
    const QRectF target(mx, my, device.width() - 2 * mx, device.height() - 2 * my);
    // The scene holds the chart alone; the switch and the button are widgets over it.
    Chart1->scene()->render(&painter, target, QRectF(QPointF(0, 0), Chart1->size()),
                            Qt::IgnoreAspectRatio);
    return painter.end();
}

void TForm3::saveImage()
{
    const QString path = fileDialogs().getSaveFileName(
        this, {QStringLiteral("Сохранить изображение"), QString(),
               QStringLiteral("Рисунок PNG (*.png);;Документ PDF (*.pdf)"), QStringLiteral("png")});
    if (path.isEmpty())
        return;
    if (!saveImageTo(path))
        showErrorBox(this, QStringLiteral("Не удалось записать файл %1").arg(path));
}

bool TForm3::saveImageTo(const QString& path)
{
    // The scene holds the chart alone; the switch and the button are widgets over it.
    const QRectF source(QPointF(0, 0), Chart1->size());
    if (path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) {
        QPdfWriter pdf(path);
        pdf.setResolution(kPdfResolution);
        pdf.setPageSize(QPageSize(QSizeF(source.width(), source.height()), QPageSize::Point));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter painter;
        if (!painter.begin(&pdf))
            return false;
        Chart1->scene()->render(&painter, QRectF(0, 0, pdf.width(), pdf.height()), source);
        return painter.end();
    }
    QImage image(Chart1->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    Chart1->scene()->render(&painter, QRectF(image.rect()), source);
    painter.end();
    return image.save(path, "PNG");
}

// ---------------------------------------------------------------- the command

TabsChartSource::TabsChartSource(ArchiveTable& table, QTabWidget* tabs,
                                 std::function<void()> applyFilter,
                                 std::function<void()> showCursor)
    : m_table(table), m_tabs(tabs), m_applyFilter(std::move(applyFilter)),
      m_showCursor(std::move(showCursor))
{
}

void TabsChartSource::showTab(int block)
{
    {
        // The filter is applied below, not through the tab-change notification.
        const QSignalBlocker blocker(m_tabs);
        m_tabs->setCurrentIndex(block);
    }
    m_applyFilter();
}

void TabsChartSource::cursorSettled()
{
    if (m_showCursor)
        m_showCursor();
}

void showCharts(TForm4& selectionDialog, TForm3& chartWindow, charts::ChartSource& source)
{
    if (selectionDialog.exec() != kDialogOk)
        return;
    chartWindow.setBuild(&source, selectionDialog.selection());
    chartWindow.exec();
    chartWindow.setBuild(nullptr, charts::ChartSelection{});
}

} // namespace orx::ui
