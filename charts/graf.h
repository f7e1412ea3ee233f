#pragma once

// TForm3, the chart window: the temperature charts of the chosen blocks, with
// point markers, zoom and scroll, and printing. The window lives for the run;
// every showing rebuilds its series from the main window's table.

#include "charts/SeriesEngine.h"

#include <QChartView>
#include <QDialog>

#include <array>
#include <functional>
#include <optional>

class QCheckBox;
class QDateTimeAxis;
class QLineSeries;
class QMenu;
class QPagedPaintDevice;
class QPushButton;
class QRubberBand;
class QTabWidget;
class QValueAxis;

namespace orx::ui {

class TForm4;

// The chart's view: a left drag towards the lower right zooms, one towards
// the upper left undoes the zoom, a right drag scrolls.
class ChartView : public QChartView
{
    Q_OBJECT
public:
    using QChartView::QChartView;

Q_SIGNALS:
    void zoomRequested(const QRectF& area); // in view pixels
    void unzoomRequested();
    void scrollRequested(const QPointF& delta); // pixels the content moves
    // A right click that did not drag: the chart's own menu.
    void menuRequested(const QPoint& globalPos);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QRubberBand* m_band = nullptr;
    QPoint m_zoomStart;
    QPoint m_scrollLast;
    bool m_zooming = false;
    bool m_scrolling = false;
    bool m_scrolled = false;
};

class TForm3 : public QDialog
{
    Q_OBJECT
public:
    explicit TForm3(QWidget* parent = nullptr);

    ChartView* Chart1 = nullptr;
    QCheckBox* CheckBox1 = nullptr; // "Точки данных"
    QPushButton* Button1 = nullptr; // "Печать"
    // Series1 .. Series21 at index 0 .. 20.
    std::array<QLineSeries*, kBlockCount> Series{};
    QDateTimeAxis* timeAxis() const { return m_timeAxis; }
    QValueAxis* temperatureAxisView() const { return m_valueAxis; }
    const charts::TemperatureAxis& temperatureAxis() const { return m_axis; }

    // What the next showing builds: the main window's table and tabs, and the blocks.
    void setBuild(charts::ChartSource* source, const charts::ChartSelection& selection);

    void FormCreate();
    void FormShow();
    void CheckBox1Click();
    void Button1Click();
    // Draws the chart page (without the switch and the button) on a device.
    // Returns false when the device cannot be painted on.
    bool printTo(QPagedPaintDevice& device);
    // "Сохранить изображение…": the chart as on screen, without the switch and
    // the button, to a PNG picture or a one-page PDF chosen by the file's suffix.
    void saveImage();
    bool saveImageTo(const QString& path);
    QMenu* chartMenu() const { return m_menu; }

    // Zoom and scroll, in view pixels.
    void zoomTo(const QRectF& area);
    void unzoom();
    void scrollBy(const QPointF& delta);

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct AxisSettings
    {
        bool timeFixed = false;
        qint64 timeMin = 0, timeMax = 0;
        charts::TemperatureAxis temperature;
    };
    struct Ranges
    {
        double tMin, tMax, vMin, vMax;
    };

    void fillSeries();
    void applyAxes();
    Ranges currentRanges() const;
    void setTimeRange(qint64 min, qint64 max);
    void placeControls();

    charts::ChartSource* m_source = nullptr;
    charts::ChartSelection m_selection{};
    charts::ChartSeriesSet m_series;
    charts::TemperatureAxis m_axis;
    bool m_timeFixed = false;
    qint64 m_timeMin = 0, m_timeMax = 0;
    std::optional<AxisSettings> m_beforeZoom;
    QDateTimeAxis* m_timeAxis = nullptr;
    QValueAxis* m_valueAxis = nullptr;
    QMenu* m_menu = nullptr;
};

// The main window's table and tabs as the chart build reads them: showing a
// tab makes it current without relying on the tab-change notification and
// applies its filter explicitly.
class TabsChartSource : public charts::ChartSource
{
public:
    TabsChartSource(ArchiveTable& table, QTabWidget* tabs, std::function<void()> applyFilter,
                    std::function<void()> showCursor);
    ArchiveTable& table() override { return m_table; }
    void showTab(int block) override;
    void cursorSettled() override;

private:
    ArchiveTable& m_table;
    QTabWidget* m_tabs;
    std::function<void()> m_applyFilter;
    std::function<void()> m_showCursor;
};

// "Построить график": the selection dialog, then, after "Построить", the chart.
void showCharts(TForm4& selectionDialog, TForm3& chartWindow, charts::ChartSource& source);

} // namespace orx::ui
