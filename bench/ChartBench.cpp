// The chart for the largest archive, 13,107 readings, as one operational
// block and spread over the 20 observations and the operational block:
// building and filling the series, the first full draw of the chart window
// at 1078 x 682 with and without point markers, and printing it to a PDF.

#include "bench/BenchSupport.h"
#include "charts/graf.h"
#include "storage/ArchiveTable.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QPdfWriter>
#include <QPixmap>

#include <sys/stat.h>

using namespace orx;

namespace {

constexpr int kReadings = 13107;

class TableTabs : public charts::ChartSource
{
public:
    explicit TableTabs(ArchiveTable& t) : m_table(t) {}
    ArchiveTable& table() override { return m_table; }
    void showTab(int block) override
    {
        m_table.setFiltered(false);
        m_table.setFilter(ArchiveTable::blockFilter(block));
        m_table.setFiltered(true);
    }

private:
    ArchiveTable& m_table;
};

struct Setup
{
    ArchiveTable table;
    TableTabs tabs{table};
    ui::TForm3 window;
    explicit Setup(bool spread, bool markers)
    {
        table.open(spread ? bench::generatedTable(kReadings) : bench::operationalTable(kReadings));
        charts::ChartSelection all{};
        if (spread)
            all.fill(true);
        else
            all[kOperationalBlock] = true;
        window.setBuild(&tabs, all);
        window.CheckBox1->setChecked(markers);
        window.CheckBox1Click();
        window.resize(1079, 685);
    }
};

void BM_SeriesBuild(benchmark::State& state)
{
    Setup s(state.range(0) != 0, false);
    for (auto _ : state)
        s.window.FormShow();
}

void BM_FirstDraw(benchmark::State& state)
{
    Setup s(state.range(0) != 0, state.range(1) != 0);
    s.window.show();
    QApplication::processEvents();
    QPixmap target(s.window.Chart1->size());
    for (auto _ : state) {
        state.PauseTiming();
        s.window.FormShow();
        state.ResumeTiming();
        QApplication::processEvents();             // the layout after the fill
        s.window.Chart1->QWidget::render(&target); // a full paint of the view
    }
    if (const QByteArray shot = qgetenv("ORX_BENCH_SHOT"); !shot.isEmpty())
        target.save(QString::fromLocal8Bit(shot));
}

void BM_PrintToPdf(benchmark::State& state)
{
    Setup s(state.range(0) != 0, false);
    s.window.FormShow();
    const QString path = QString::fromStdString(bench::benchDir() + "/chart.pdf");
    for (auto _ : state) {
        QPdfWriter pdf(path);
        s.window.printTo(pdf);
    }
}

} // namespace

// Argument 0: one operational block; 1: spread over all 21 blocks.
BENCHMARK(BM_SeriesBuild)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
// Second argument: point markers on.
BENCHMARK(BM_FirstDraw)
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PrintToPdf)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
