// The archive table on a generated table of 100,000 rows over the 21 blocks
// (about 76 MB), against shapelib's DBF reader on the same file.

#include "bench/BenchSupport.h"

#include "archive/RecordModel.h"
#include "storage/ArchiveTable.h"

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <shapefil.h>
#include <unistd.h>

namespace {

constexpr int kRows = 100000;

const std::string& table() { static const std::string p = orx::bench::generatedTable(kRows); return p; }

void BM_OpenAndCountTab0(benchmark::State& state)
{
    const std::string& path = table();
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::size_t before = mallinfo2().uordblks;
        orx::ArchiveTable t;
        t.setFilter(orx::ArchiveTable::blockFilter(0));
        t.setFiltered(true);
        t.open(path);
        benchmark::DoNotOptimize(t.countVisible());
        bytes = mallinfo2().uordblks - before;
        state.PauseTiming();
        t.close();
        state.ResumeTiming();
    }
    state.counters["heap_bytes_per_row"] = static_cast<double>(bytes) / kRows;
}
BENCHMARK(BM_OpenAndCountTab0)->Unit(benchmark::kMillisecond);

void BM_ShapelibOpenAndTestNo(benchmark::State& state)
{
    // shapelib wants a .dbf name.
    const std::string path = table() + "f";
    symlink(table().c_str(), path.c_str());
    for (auto _ : state) {
        DBFHandle h = DBFOpen(path.c_str(), "rb");
        if (!h) {
            state.SkipWithError("shapelib cannot open the table");
            return;
        }
        const int no = DBFGetFieldIndex(h, "NO");
        int live = 0;
        const int n = DBFGetRecordCount(h);
        for (int i = 0; i < n; ++i)
            if (!DBFIsRecordDeleted(h, i) && !DBFIsAttributeNULL(h, i, no))
                ++live;
        benchmark::DoNotOptimize(live);
        DBFClose(h);
    }
}
BENCHMARK(BM_ShapelibOpenAndTestNo)->Unit(benchmark::kMillisecond);

void BM_TabSwitch(benchmark::State& state)
{
    orx::ArchiveTable t;
    t.open(table());
    t.setFiltered(true);
    int tab = 0;
    for (auto _ : state) {
        tab = tab % 20 + 1;
        t.setFilter(orx::ArchiveTable::blockFilter(tab));
        benchmark::DoNotOptimize(t.countVisible());
    }
}
BENCHMARK(BM_TabSwitch)->Unit(benchmark::kMillisecond);

void BM_SortTabColumn(benchmark::State& state)
{
    orx::ArchiveTable t;
    t.setFilter(orx::ArchiveTable::blockFilter(0));
    t.setFiltered(true);
    t.open(table());
    bool desc = false;
    for (auto _ : state) {
        t.setSortOrder("TO", desc);
        desc = !desc;
    }
}
BENCHMARK(BM_SortTabColumn)->Unit(benchmark::kMillisecond);

void BM_SortWholeTable(benchmark::State& state)
{
    orx::ArchiveTable t;
    t.open(table());
    bool desc = false;
    for (auto _ : state) {
        t.setSortOrder("TYPE", desc);
        desc = !desc;
    }
}
BENCHMARK(BM_SortWholeTable)->Unit(benchmark::kMillisecond);

void BM_ReadEveryRowOfTab(benchmark::State& state)
{
    orx::ArchiveTable t;
    t.setFilter(orx::ArchiveTable::blockFilter(7));
    t.setFiltered(true);
    t.open(table());
    std::vector<int> fields;
    for (const std::string& c : orx::blockColumns(7))
        fields.push_back(t.fieldIndex(c));
    for (auto _ : state) {
        std::size_t chars = 0;
        for (t.first(); !t.eof(); t.next())
            for (int f : fields)
                chars += t.readText(f).size();
        benchmark::DoNotOptimize(chars);
    }
}
BENCHMARK(BM_ReadEveryRowOfTab)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
