// The chart for the largest archive, 13,107 readings, as one operational
// block and spread over the 20 observations and the operational block:
// building and filling the series, the first full draw of the chart window
// at 1078 x 682 with and without point markers, and printing it to a PDF.

#include "archive/RecordModel.h"
#include "archive/TextFormats.h"
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

// Every reading in the operational block, a second apart over several days.
std::string operationalTable()
{
    const std::string path =
        bench::benchDir() + "/operational-" + std::to_string(kReadings) + ".db";
    struct stat st;
    if (::stat(path.c_str(), &st) == 0)
        return path;
    ArchiveTable::create(path);
    ArchiveTable t;
    t.open(path);
    for (int i = 1; i <= kReadings; ++i) {
        const int s = i * 37; // a reading every 37 seconds
        t.append();
        t.writeInteger(kColNo, i);
        t.writeText(kColModule, "TM5-1");
        t.writeInteger(kColSensor, i % 8);
        t.writeText(kColTime, FormatArchiveTime(static_cast<std::uint8_t>(s / 3600 % 24),
                                                static_cast<std::uint8_t>(s / 60 % 60),
                                                static_cast<std::uint8_t>(s % 60)));
        t.writeText(kColDate, FormatArchiveDate(24, 3, static_cast<std::uint8_t>(1 + s / 86400)));
        t.writeText(kColTemperature, formatOperationalTemperature(((i * 37) % 900 - 300) / 10.0));
        t.post();
    }
    t.close();
    return path;
}

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
        table.open(spread ? bench::generatedTable(kReadings) : operationalTable());
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
