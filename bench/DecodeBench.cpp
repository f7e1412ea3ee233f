// Decoding a full archive into a new table on disk, against shapelib writing
// the same rows into a table of the same columns.

#include "bench/BenchSupport.h"

#include "archive/ArchiveBuilder.h"
#include "archive/ArchiveImage.h"
#include "archive/ArchiveJobs.h"
#include "archive/RecordModel.h"
#include "storage/ArchiveTable.h"

#include <benchmark/benchmark.h>
#include <shapefil.h>

#include <cstdio>
#include <map>

namespace {

using namespace orx;

std::vector<std::uint8_t> fullOperational()
{
    std::vector<OperationalRecord> recs(13107);
    for (std::size_t i = 0; i < recs.size(); ++i) {
        auto& r = recs[i];
        r.module = static_cast<std::uint8_t>(0xC0 + i % 4);
        r.sensor = static_cast<std::uint8_t>(i % 8);
        r.day = static_cast<std::uint8_t>(1 + i / 1440 % 28);
        r.hour = static_cast<std::uint8_t>(i / 60 % 24);
        r.minute = static_cast<std::uint8_t>(i % 60);
        r.temperature = temperatureWord(static_cast<int>(i % 700) - 200);
    }
    return ArchiveBuilder().operational(recs).build();
}

std::vector<std::uint8_t> mixed()
{
    ArchiveBuilder b;
    std::vector<OperationalRecord> ops(3000);
    for (std::size_t i = 0; i < ops.size(); ++i)
        ops[i].minute = static_cast<std::uint8_t>(i % 60);
    b.operational(ops);
    for (int k = 1; k <= 20; ++k) {
        ObservationBlock blk;
        blk.slot = static_cast<std::uint8_t>(k);
        blk.records.resize(500);
        for (std::size_t i = 0; i < blk.records.size(); ++i) {
            blk.records[i].minute = static_cast<std::uint8_t>(i % 60);
            blk.records[i].hour = static_cast<std::uint8_t>(i / 60);
            blk.records[i].temperature = temperatureWord(static_cast<int>(i) - 100);
        }
        b.observation(blk);
    }
    return b.build();
}

const std::vector<std::uint8_t>& archive(int which)
{
    static const std::vector<std::uint8_t> a = fullOperational();
    static const std::vector<std::uint8_t> m = mixed();
    return which == 0 ? a : m;
}

void BM_DecodeNewTable(benchmark::State& state)
{
    ArchiveImage img;
    img.assign(archive(static_cast<int>(state.range(0))));
    const std::string path = bench::benchDir() + "/decode.db";
    const bool withClose = state.range(1) != 0;
    std::uint64_t total = 0;
    for (auto _ : state) {
        ArchiveTable t;
        total = createTableFromArchive(t, path, img);
        if (withClose) {
            t.close();
        } else {
            state.PauseTiming();
            t.close();
            state.ResumeTiming();
        }
    }
    state.counters["records"] = static_cast<double>(total);
    state.SetLabel(std::string(state.range(0) == 0 ? "13107 operational" : "mixed, 20 observations") +
                   (withClose ? ", close with fsync" : ", rows posted"));
}
BENCHMARK(BM_DecodeNewTable)->Args({0, 0})->Args({0, 1})->Args({1, 0})->Args({1, 1})->Unit(benchmark::kMillisecond);

// The same rows as our decoder writes, written with shapelib.
void BM_ShapelibWriteSameRows(benchmark::State& state)
{
    // Decode once and keep every row's texts.
    ArchiveImage img;
    img.assign(archive(static_cast<int>(state.range(0))));
    const std::string src = bench::benchDir() + "/source.db";
    std::vector<std::vector<std::pair<int, std::string>>> rows;
    {
        ArchiveTable t;
        createTableFromArchive(t, src, img);
        t.setFiltered(false);
        for (t.first(); !t.eof(); t.next()) {
            std::vector<std::pair<int, std::string>> row;
            for (int f = 0; f < kArchiveColumnCount; ++f) {
                std::string v = t.readText(f);
                if (!v.empty())
                    row.emplace_back(f, v);
            }
            rows.push_back(std::move(row));
        }
    }
    const std::string path = bench::benchDir() + "/shapelib.dbf";
    for (auto _ : state) {
        DBFHandle h = DBFCreate(path.c_str());
        for (const ColumnDef& c : archiveColumns())
            DBFAddField(h, c.name.c_str(), FTString, c.width, 0);
        int rec = 0;
        for (const auto& row : rows) {
            for (const auto& [field, value] : row)
                DBFWriteStringAttribute(h, rec, field, value.c_str());
            ++rec;
        }
        DBFClose(h);
    }
    state.SetLabel(state.range(0) == 0 ? "13107 operational" : "mixed, 20 observations");
}
BENCHMARK(BM_ShapelibWriteSameRows)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
