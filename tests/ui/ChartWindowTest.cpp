// The chart command on the real main window: the selection dialog, the chart
// window with its series, legend and axes, markers, zoom and scroll, the
// error box for an unreadable row, and printing to a PDF file. One test takes
// a screenshot under a real X server (xvfb-run) and is skipped elsewhere.

#include "charts/ChartPrinting.h"
#include "charts/graf.h"
#include "charts/param_graf.h"
#include "tests/TestSupport.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/DBGrid.h"
#include "ui/Program.h"
#include "ui/main.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMenu>
#include <QMouseEvent>
#include <QPdfWriter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QValueAxis>

#include <functional>

using namespace orx;
using namespace orx::test;
using namespace orx::ui;

namespace {

QString q(const std::string& s)
{
    return QString::fromStdString(s);
}

const char* const kDate = "31.01.2007";

// Runs the action on the dialog of type T once it is the active modal window.
template <class T> void whenShown(std::function<void(T*)> action)
{
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        auto* w = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!w || !w->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        action(w);
    });
    timer->start();
}

// Stands in for the printer: every page goes to one PDF file.
class PdfPrinting : public charts::ChartPrinting
{
public:
    explicit PdfPrinting(std::string path) : m_path(std::move(path)) {}
    std::unique_ptr<QPagedPaintDevice> pageDevice(QWidget*) override
    {
        ++asked;
        return std::make_unique<QPdfWriter>(q(m_path));
    }
    int asked = 0;

private:
    std::string m_path;
};

class ChartCommand : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setMessageBoxes(&boxes);
        setFileDialogs(&dialogs);
        program = std::make_unique<Program>();
        form = program->Form1;
        ArchiveTable::create(tmp.path("a.db"));
        table.open(tmp.path("a.db"));
    }
    void TearDown() override
    {
        program.reset();
        charts::setChartPrinting(nullptr);
        setMessageBoxes(nullptr);
        setFileDialogs(nullptr);
    }
    void observation(int k, const std::vector<std::string>& temperatures, const char* date = kDate)
    {
        int minute = 0;
        for (const auto& t : temperatures) {
            char time[16];
            std::snprintf(time, sizeof time, "10:%02d", minute);
            appendRow(table, ObservationRow{k, std::to_string(++minute), date, time, "1", "1", t,
                                            "A" + std::to_string(k)});
        }
    }
    // Closes the table written so far and opens it in the program.
    void openInProgram()
    {
        table.close();
        dialogs.nextPath = q(tmp.path("a.db"));
        form->N3->trigger();
        ASSERT_TRUE(form->DocumentOpen);
    }
    // "Построить график" with the boxes of the given blocks ticked (all others
    // unticked); inspect runs while the chart window is shown, then it is closed.
    void plot(std::initializer_list<int> blocks, std::function<void(TForm3*)> inspect)
    {
        whenShown<TForm4>([blocks](TForm4* d) {
            for (int n = 1; n <= kBlockCount; ++n)
                d->checkBox(n)->setChecked(false);
            for (int b : blocks)
                d->checkBox(charts::seriesNumber(b))->setChecked(true);
            d->Button1->click();
        });
        bool shown = false;
        whenShown<TForm3>([&shown, inspect](TForm3* w) {
            shown = true;
            QApplication::processEvents(); // the first draw
            inspect(w);
            w->close();
        });
        form->N15->trigger();
        ASSERT_TRUE(shown);
    }
    static QStringList legendTitles(TForm3* w)
    {
        QStringList titles;
        for (QLegendMarker* m : w->Chart1->chart()->legend()->markers())
            if (m->isVisible())
                titles << m->label();
        return titles;
    }
    static QPoint plotPoint(TForm3* w, double fx, double fy)
    {
        const QRectF a = w->Chart1->chart()->plotArea();
        return QPointF(a.left() + fx * a.width(), a.top() + fy * a.height()).toPoint();
    }
    static void drag(TForm3* w, Qt::MouseButton button, QPoint from, QPoint to)
    {
        QWidget* v = w->Chart1->viewport();
        QMouseEvent press(QEvent::MouseButtonPress, from, v->mapToGlobal(from), button, button,
                          Qt::NoModifier);
        QApplication::sendEvent(v, &press);
        const QPoint mid = (from + to) / 2;
        QMouseEvent move1(QEvent::MouseMove, mid, v->mapToGlobal(mid), Qt::NoButton, button,
                          Qt::NoModifier);
        QApplication::sendEvent(v, &move1);
        QMouseEvent move2(QEvent::MouseMove, to, v->mapToGlobal(to), Qt::NoButton, button,
                          Qt::NoModifier);
        QApplication::sendEvent(v, &move2);
        QMouseEvent release(QEvent::MouseButtonRelease, to, v->mapToGlobal(to), button,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(v, &release);
    }
    struct Ranges
    {
        qint64 t0, t1;
        double v0, v1;
        bool operator==(const Ranges& o) const
        {
            return t0 == o.t0 && t1 == o.t1 && v0 == o.v0 && v1 == o.v1;
        }
    };
    static Ranges ranges(TForm3* w)
    {
        return {w->timeAxis()->min().toMSecsSinceEpoch(), w->timeAxis()->max().toMSecsSinceEpoch(),
                w->temperatureAxisView()->min(), w->temperatureAxisView()->max()};
    }

    TempDir tmp;
    ArchiveTable table;
    RecordedBoxes boxes;
    ScriptedDialogs dialogs;
    std::unique_ptr<Program> program;
    TForm1* form = nullptr;
};

TEST_F(ChartCommand, SelectionDialogAsDesignedAndKeptForTheRun)
{
    TForm4* d = program->Form4;
    EXPECT_EQ(d->windowTitle(), QString("Построение графиков"));
    EXPECT_EQ(d->size(), QSize(189, 244));
    EXPECT_EQ(d->minimumSize(), d->maximumSize());
    EXPECT_EQ(d->GroupBox1->title(), QString("Выберете графики"));
    EXPECT_EQ(d->Button1->text(), QString("Построить"));
    for (int k = 1; k <= 20; ++k) {
        EXPECT_EQ(d->checkBox(k)->text(), QString("Наб. №%1").arg(k));
        EXPECT_FALSE(d->checkBox(k)->isChecked());
        // Left column 1..10, right column 11..20, top to bottom.
        EXPECT_EQ(d->checkBox(k)->x() > d->checkBox(1)->x(), k > 10) << k;
        if (k != 1 && k != 11) {
            EXPECT_GT(d->checkBox(k)->y(), d->checkBox(k - 1)->y()) << k;
        }
    }
    EXPECT_EQ(d->checkBox(21)->text(), QString("Оперативный"));
    EXPECT_GT(d->checkBox(21)->y(), d->checkBox(10)->y());

    observation(3, {"20,0"});
    openInProgram();
    // The close box ends with Cancel and no chart; the ticks stay all the same.
    whenShown<TForm4>([](TForm4* w) {
        w->checkBox(5)->setChecked(true);
        w->close();
    });
    form->N15->trigger();
    EXPECT_EQ(d->result(), 2);
    EXPECT_EQ(form->currentTab(), 0);
    bool kept = false;
    whenShown<TForm4>([&kept](TForm4* w) {
        kept = w->checkBox(5)->isChecked();
        w->close();
    });
    form->N15->trigger();
    EXPECT_TRUE(kept);
    bool chartShown = false;
    plot({3}, [&chartShown](TForm3*) { chartShown = true; });
    EXPECT_TRUE(chartShown);
    EXPECT_EQ(d->result(), 1);
    EXPECT_TRUE(d->checkBox(3)->isChecked());
    EXPECT_FALSE(d->checkBox(5)->isChecked());
}

TEST_F(ChartCommand, ChartOfObservations2And4)
{
    observation(2, {"20,0", "21,0"});
    observation(4, {"22,0", "23,0", "24,5"});
    observation(6, {"30,0"});
    openInProgram();
    plot({4, 2}, [](TForm3* w) {
        EXPECT_TRUE(w->windowTitle().isEmpty());
        EXPECT_TRUE(w->Chart1->isVisible());
        EXPECT_EQ(w->Chart1->size(), QSize(1078, 682));
        EXPECT_EQ(w->Series[1]->count(), 2);
        EXPECT_EQ(w->Series[3]->count(), 3);
        EXPECT_EQ(w->Series[5]->count(), 0);
        EXPECT_EQ(w->Series[3]->at(2).y(), 24.5);
        EXPECT_EQ(legendTitles(w), QStringList({"A2 T,°C", "A4 T,°C"}));
        QChart* c = w->Chart1->chart();
        EXPECT_TRUE(c->title().isEmpty());
        QStringList order;
        for (QAbstractSeries* s : c->series())
            order << s->objectName();
        EXPECT_EQ(order.first(), QString("Series2"));
        EXPECT_EQ(order.at(19), QString("Series21"));
        EXPECT_EQ(order.last(), QString("Series1"));
        EXPECT_EQ(w->Series[0]->color(), QColor(255, 0, 0));
        EXPECT_EQ(w->Series[4]->color(), QColor(255, 255, 255));
        EXPECT_EQ(w->Series[16]->color(), QColor(64, 128, 128));
        EXPECT_EQ(w->Series[20]->color(), QColor(0, 0, 0));
        EXPECT_EQ(w->timeAxis()->format(), QString("dd.MM.yyyy hh:mm:ss"));
        EXPECT_EQ(w->timeAxis()->labelsAngle(), 90);
        EXPECT_EQ(w->temperatureAxisView()->titleText(), QString("T,C"));
        EXPECT_EQ(c->legend()->alignment(), Qt::AlignBottom);
        EXPECT_EQ(c->legend()->font().family(), QString("Liberation Sans"));
        EXPECT_EQ(c->legend()->font().pixelSize(), 13);
        // Observation 4, the last ticked block, fixes the axis 10 degrees wide.
        EXPECT_DOUBLE_EQ(w->temperatureAxisView()->min(), 18.25);
        EXPECT_DOUBLE_EQ(w->temperatureAxisView()->max(), 28.25);
        // The time axis spans the readings, 10:00 to 10:02 of the day.
        EXPECT_EQ(w->timeAxis()->min().toString("dd.MM.yyyy hh:mm:ss"),
                  QString("31.01.2007 10:00:00"));
        EXPECT_EQ(w->timeAxis()->max().toString("dd.MM.yyyy hh:mm:ss"),
                  QString("31.01.2007 10:02:00"));
    });
    // The main window stays on "Наб. №4" with its last row current.
    EXPECT_EQ(form->currentTab(), 4);
    EXPECT_EQ(form->PageControl1->tabText(4), QString("Наб. №4"));
    EXPECT_EQ(form->Dbf1.filter(), "NN4 <>''");
    EXPECT_EQ(form->Dbf1.position(), 2u);
    EXPECT_EQ(form->currentGrid()->currentIndex().row(), 2);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ChartCommand, AStoredDateThatIsNoCalendarDateStopsTheBuild)
{
    observation(1, {"20,0"});
    observation(3, {"20,0", "21,0"}, "31.02.2007");
    openInProgram();
    plot({1, 3}, [](TForm3* w) {
        EXPECT_TRUE(w->isVisible());
        EXPECT_FALSE(w->Chart1->isVisible());
        EXPECT_FALSE(w->Button1->isVisible());
        EXPECT_FALSE(w->CheckBox1->isVisible());
    });
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, QString("'31.02.2007 10:00:00' is not a valid date and time."));
    EXPECT_EQ(boxes.shown[0].caption, applicationTitle());
    EXPECT_EQ(boxes.shown[0].icon, QMessageBox::Critical);
    EXPECT_EQ(form->currentTab(), 3);
    EXPECT_EQ(form->Dbf1.position(), 0u);
}

TEST_F(ChartCommand, MarkersZoomAndScroll)
{
    observation(6, {"10,0", "12,0", "14,0", "16,0", "18,0", "19,0"});
    openInProgram();
    Ranges built{};
    Ranges zoomed{};
    plot({6}, [&](TForm3* w) {
        w->CheckBox1->click();
        for (int i = 0; i < kBlockCount; ++i) {
            EXPECT_TRUE(w->Series[static_cast<std::size_t>(i)]->pointsVisible());
            EXPECT_EQ(w->Series[static_cast<std::size_t>(i)]->markerSize(), i == 1 ? 3 : 4);
        }
        built = ranges(w);
        // A drag of 16 pixels or less, or across the other diagonal, does nothing.
        drag(w, Qt::LeftButton, plotPoint(w, 0.2, 0.2), plotPoint(w, 0.2, 0.2) + QPoint(16, 40));
        drag(w, Qt::LeftButton, plotPoint(w, 0.6, 0.2), plotPoint(w, 0.2, 0.6));
        EXPECT_EQ(ranges(w), built);
        // Towards the lower right: both axes narrow to the rectangle.
        drag(w, Qt::LeftButton, plotPoint(w, 0.25, 0.25), plotPoint(w, 0.75, 0.75));
        zoomed = ranges(w);
        EXPECT_GT(zoomed.t0, built.t0);
        EXPECT_LT(zoomed.t1, built.t1);
        EXPECT_NEAR(zoomed.v0, built.v0 + (built.v1 - built.v0) / 4, 0.2);
        EXPECT_NEAR(zoomed.v1, built.v1 - (built.v1 - built.v0) / 4, 0.2);
        drag(w, Qt::LeftButton, plotPoint(w, 0.4, 0.4), plotPoint(w, 0.6, 0.6));
        // Towards the upper left: the axes as before the first zoom.
        drag(w, Qt::LeftButton, plotPoint(w, 0.7, 0.7), plotPoint(w, 0.3, 0.3));
        EXPECT_EQ(ranges(w), built);
        // A right drag to the left and down shows later times and higher temperatures.
        drag(w, Qt::RightButton, plotPoint(w, 0.6, 0.4), plotPoint(w, 0.4, 0.6));
        const Ranges scrolled = ranges(w);
        EXPECT_GT(scrolled.t0, built.t0);
        EXPECT_GT(scrolled.v0, built.v0);
        EXPECT_NEAR(scrolled.v1 - scrolled.v0, built.v1 - built.v0, 1e-6);
        drag(w, Qt::LeftButton, plotPoint(w, 0.25, 0.25), plotPoint(w, 0.75, 0.75));
        zoomed = ranges(w);
    });
    // The next chart: the zoomed time axis stays, the temperature axis is built anew;
    // the markers are still on.
    plot({6}, [&](TForm3* w) {
        const Ranges again = ranges(w);
        EXPECT_EQ(again.t0, zoomed.t0);
        EXPECT_EQ(again.t1, zoomed.t1);
        EXPECT_EQ(again.v0, built.v0);
        EXPECT_EQ(again.v1, built.v1);
        EXPECT_TRUE(w->CheckBox1->isChecked());
        EXPECT_TRUE(w->Series[5]->pointsVisible());
    });
}

TEST_F(ChartCommand, ResizingKeepsTheSwitchAndTheButtonInTheirCorners)
{
    observation(1, {"20,0"});
    openInProgram();
    plot({1}, [](TForm3* w) {
        for (QSize size : {QSize(1079, 685), QSize(1400, 900)}) {
            w->resize(size);
            const QRect chart = w->Chart1->geometry();
            EXPECT_EQ(chart, QRect(0, 0, size.width() - 1, size.height() - 3));
            EXPECT_EQ(w->CheckBox1->x(), 8);
            EXPECT_EQ(w->CheckBox1->geometry().bottom() + 1, chart.height() - 8);
            EXPECT_EQ(w->Button1->geometry(),
                      QRect(chart.width() - 6 - 75, chart.height() - 4 - 25, 75, 25));
            EXPECT_EQ(w->CheckBox1->text(), QString("Точки данных"));
            EXPECT_EQ(w->Button1->text(), QString("Печать"));
        }
    });
}

TEST_F(ChartCommand, PrintsOneLandscapePageWithLabelsAndLegend)
{
    if (!haveProgram("pdftotext") || !haveProgram("pdfinfo"))
        GTEST_SKIP() << "poppler-utils missing";
    observation(2, {"20,0", "21,0"});
    observation(17, {"-3,0"});
    openInProgram();
    const std::string pdf = tmp.path("chart.pdf");
    PdfPrinting printing(pdf);
    charts::setChartPrinting(&printing);
    plot({2, 17}, [](TForm3* w) { w->Button1->click(); });
    EXPECT_EQ(printing.asked, 1);
    EXPECT_TRUE(boxes.shown.empty());
    const CommandResult info = runCommand("pdfinfo " + shellQuote(pdf));
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("Pages:           1"), std::string::npos) << info.out;
    const auto sizeAt = info.out.find("Page size:");
    ASSERT_NE(sizeAt, std::string::npos);
    double width = 0, height = 0;
    std::sscanf(info.out.c_str() + sizeAt, "Page size: %lf x %lf", &width, &height);
    EXPECT_GT(width, height) << info.out;
    const CommandResult text = runCommand("pdftotext -layout " + shellQuote(pdf) + " -");
    ASSERT_EQ(text.status, 0) << text.err;
    for (const char* expected : {"T,C", "A2 T,°C", "A17T,°C", "31.01.2007"})
        EXPECT_NE(text.out.find(expected), std::string::npos) << expected << "\n" << text.out;
    EXPECT_EQ(text.out.find("Печать"), std::string::npos);
    EXPECT_EQ(text.out.find("Точки данных"), std::string::npos);
}


TEST_F(ChartCommand, SavesThePictureFromItsMenuAsPngOrPdf)
{
    observation(2, {"20,0", "21,0", "19,5"});
    openInProgram();
    const std::string png = tmp.path("chart.png");
    const std::string pdf = tmp.path("chart.pdf");
    QSize viewSize;
    bool menuOpened = false;
    plot({2}, [&](TForm3* w) {
        viewSize = w->Chart1->size();
        // A right click without dragging opens the chart's menu.
        const QPoint at = plotPoint(w, 0.5, 0.5);
        drag(w, Qt::RightButton, at, at);
        menuOpened = w->chartMenu()->isVisible();
        w->chartMenu()->hide();
        QStringList items;
        for (QAction* a : w->chartMenu()->actions())
            items << a->text();
        EXPECT_EQ(items, QStringList({"Сохранить изображение…"}));
        dialogs.nextPath = q(png);
        w->chartMenu()->actions().constFirst()->trigger();
        dialogs.nextPath = q(pdf);
        w->chartMenu()->actions().constFirst()->trigger();
        // A right drag scrolls and opens no menu.
        drag(w, Qt::RightButton, plotPoint(w, 0.5, 0.5), plotPoint(w, 0.6, 0.5));
        EXPECT_FALSE(w->chartMenu()->isVisible());
    });
    EXPECT_TRUE(menuOpened);
    EXPECT_TRUE(boxes.shown.empty());
    QImage image;
    ASSERT_TRUE(image.load(q(png), "PNG"));
    EXPECT_EQ(image.size(), viewSize);
    if (!haveProgram("pdfinfo"))
        return;
    const CommandResult info = runCommand("pdfinfo " + shellQuote(pdf));
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("Pages:           1"), std::string::npos) << info.out;
    const CommandResult text = runCommand("pdftotext " + shellQuote(pdf) + " -");
    EXPECT_NE(text.out.find("A2 T,°C"), std::string::npos) << text.out;
    EXPECT_EQ(text.out.find("Печать"), std::string::npos);
}

TEST_F(ChartCommand, WithoutAPrinterThePageGoesToANamedPdf)
{
    if (!QPrinterInfo::defaultPrinter().isNull())
        GTEST_SKIP() << "this machine has a printer";
    observation(2, {"20,0", "21,0"});
    openInProgram();
    const std::string pdf = tmp.path("printed.pdf");
    dialogs.nextPath = q(pdf);
    plot({2}, [](TForm3* w) { w->Button1->click(); });
    ASSERT_FALSE(dialogs.asked.empty());
    EXPECT_EQ(dialogs.asked.back().filter, QString("Файлы PDF (*.pdf)"));
    EXPECT_TRUE(std::filesystem::exists(pdf));
}

// Under a real X server: the red line of observation 1 and the white line of
// observation 5 are on the screen.
TEST_F(ChartCommand, OnScreenRedAndWhiteLines)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "needs a real X server (xvfb-run)";
    observation(1, {"20,0", "22,0", "21,0", "23,0"});
    observation(5, {"24,0", "22,5", "25,0", "24,0"});
    openInProgram();
    QImage shot;
    plot({1, 5}, [&shot](TForm3* w) {
        QApplication::processEvents();
        shot = w->grab().toImage();
        const QRect plotArea = w->Chart1->chart()->plotArea().toRect();
        int red = 0, white = 0;
        for (int y = plotArea.top(); y <= plotArea.bottom(); ++y)
            for (int x = plotArea.left(); x <= plotArea.right(); ++x) {
                const QColor c = shot.pixelColor(x, y);
                red += c == QColor(255, 0, 0);
                white += c == QColor(255, 255, 255);
            }
        EXPECT_GT(red, 100);
        EXPECT_GT(white, 100);
    });
    ASSERT_FALSE(shot.isNull());
    if (const QByteArray path = qgetenv("ORX_CHART_SHOT"); !path.isEmpty())
        shot.save(QString::fromLocal8Bit(path));
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TempDir config; // the tests' own settings, never the user's
    qputenv("XDG_CONFIG_HOME", config.dir().c_str());
    QApplication app(argc, argv);
    installRussianTranslations(app);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
