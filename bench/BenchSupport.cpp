#include "bench/BenchSupport.h"

#include "archive/RecordModel.h"
#include "archive/TextFormats.h"
#include "storage/ArchiveTable.h"

#include <cstdlib>
#include <sys/stat.h>
#include <vector>

namespace orx::bench {

const std::string& benchDir()
{
    static const std::string dir = [] {
        char pattern[] = "/tmp/orx-bench-XXXXXX";
        std::string d = mkdtemp(pattern);
        static std::string toRemove = d;
        std::atexit([] { std::system(("rm -rf '" + toRemove + "'").c_str()); });
        return d;
    }();
    return dir;
}

std::string generatedTable(int rows)
{
    const std::string path = benchDir() + "/table-" + std::to_string(rows) + ".db";
    struct stat st;
    if (::stat(path.c_str(), &st) == 0)
        return path;
    ArchiveTable::create(path);
    ArchiveTable t;
    t.open(path);
    for (int block = 0; block < kBlockCount; ++block) {
        const int n = rows / kBlockCount + (block < rows % kBlockCount ? 1 : 0);
        for (int i = 1; i <= n; ++i) {
            const auto minute = static_cast<std::uint8_t>(i % 60);
            const auto hour = static_cast<std::uint8_t>(i / 60 % 24);
            const auto day = static_cast<std::uint8_t>(1 + i / 1440 % 28);
            const double temp = ((i * 37) % 900 - 300) / 10.0;
            t.append();
            if (block == kOperationalBlock) {
                t.writeInteger(kColNo, i);
                t.writeText(kColModule, std::string(1, static_cast<char>('A' + i % 4)));
                t.writeInteger(kColSensor, i % 8);
                t.writeText(kColTime, FormatArchiveTime(hour, minute, static_cast<std::uint8_t>(i % 60)));
                t.writeText(kColDate, FormatArchiveDate(24, 3, day));
                t.writeText(kColTemperature, formatOperationalTemperature(temp));
            } else {
                t.writeInteger(observationColumn(block, ObsField::Seq), i);
                t.writeText(observationColumn(block, ObsField::Duration), "24");
                t.writeText(observationColumn(block, ObsField::Period), "1");
                t.writeText(observationColumn(block, ObsField::Time), FormatArchiveShortTime(hour, minute));
                t.writeText(observationColumn(block, ObsField::Date), FormatArchiveDate(24, 4, day));
                t.writeText(observationColumn(block, ObsField::Temperature), formatObservationTemperature(temp));
                t.writeText(kColType, "A" + std::to_string(block));
            }
            t.post();
        }
    }
    t.close();
    return path;
}

std::string operationalTable(int rows)
{
    const std::string path = benchDir() + "/operational-" + std::to_string(rows) + ".db";
    struct stat st;
    if (::stat(path.c_str(), &st) == 0)
        return path;
    ArchiveTable::create(path);
    ArchiveTable t;
    t.open(path);
    constexpr int kStepSeconds = 37;
    constexpr int kDaysPerMonth = 28; // every date a real one
    for (int i = 1; i <= rows; ++i) {
        const long s = static_cast<long>(i) * kStepSeconds;
        const long day = s / 86400;
        t.append();
        t.writeInteger(kColNo, i);
        t.writeText(kColModule, std::string(1, static_cast<char>('A' + i % 4)));
        t.writeInteger(kColSensor, i % 8);
        t.writeText(kColDate, FormatArchiveDate(24, static_cast<std::uint8_t>(3 + day / kDaysPerMonth),
                                                static_cast<std::uint8_t>(1 + day % kDaysPerMonth)));
        t.writeText(kColTime, FormatArchiveTime(static_cast<std::uint8_t>(s / 3600 % 24),
                                                static_cast<std::uint8_t>(s / 60 % 60),
                                                static_cast<std::uint8_t>(s % 60)));
        t.writeText(kColTemperature, formatOperationalTemperature(((i * 37) % 900 - 300) / 10.0));
        t.post();
    }
    t.close();
    return path;
}

} // namespace orx::bench
