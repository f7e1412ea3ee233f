// Writes the seed corpus of the fuzz targets: real tables, images and
// exchanges like those of the tests, and the edge cases around them.
//   fuzz_seed_maker <fuzz/corpus>
// The corpus is kept in the repository; run this again when a format grows.

#include "archive/ArchiveBuilder.h"
#include "archive/ArchiveImage.h"
#include "archive/DecodeArchive.h"
#include "device/DownloadEngine.h"
#include "device/emulator/InstrumentEmulator.h"
#include "fuzz/FuzzSupport.h"
#include "storage/ArchiveTable.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using orx::fuzz::readBytes;
using orx::fuzz::writeBytes;

std::string g_corpus;

void seed(const std::string& target, const std::string& name, const std::string& bytes)
{
    writeBytes(g_corpus + "/" + target + "/" + name, bytes);
}

std::string asText(const Bytes& b)
{
    return std::string(b.begin(), b.end());
}

// A decode target input: the share of the image an earlier download held
// (out of 255), then the image.
std::string decodeInput(const Bytes& image, std::uint8_t earlierShare = 128)
{
    return static_cast<char>(earlierShare) + asText(image);
}

Bytes smallArchive(unsigned seed, int observations)
{
    orx::emu::GeneratorOptions o;
    o.operationalReadings = 6;
    o.observations = observations;
    o.readingsPerObservation = 4;
    o.seed = seed;
    return orx::emu::generateArchive(o);
}

// The bytes of a closed table decoded from the archive.
std::string decodedTable(const Bytes& archive, bool deleteSecondRow = false)
{
    const std::string path = orx::fuzz::scratchPath("seed.db");
    orx::ArchiveTable::create(path);
    orx::ArchiveTable table;
    table.open(path);
    orx::ArchiveImage image;
    image.assign(archive);
    orx::DecodeArchive(table, image, orx::DecodeMode::New);
    if (deleteSecondRow) {
        table.first();
        table.next();
        table.remove();
    }
    table.close();
    return readBytes(path);
}

void putLE32(std::string& s, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s[at + i] = static_cast<char>(v >> (8 * i));
}

void tableSeeds()
{
    const std::string empty = decodedTable({orx::image::kOperationalMarker, 0, 0});
    seed("table", "empty", empty);
    const std::string mixed = decodedTable(smallArchive(1, 2));
    seed("table", "mixed", mixed);
    seed("table", "deleted-row", decodedTable(smallArchive(2, 1), true));
    std::string s = mixed;
    putLE32(s, orx::dbf::kOffRecordCount, 1000);
    seed("table", "count-too-large", s);
    s = mixed;
    putLE32(s, orx::dbf::kOffRecordCount, 2);
    seed("table", "count-too-small", s);
    seed("table", "no-end-byte", mixed.substr(0, mixed.size() - 1));
    seed("table", "torn-last-row", mixed.substr(0, mixed.size() - 300));
    s = mixed;
    s[orx::dbf::kOffIndexFlag] = 1;
    seed("table", "index-flag", s);
    s = mixed;
    s[0] = static_cast<char>(0x8B); // dBase IV with memo: read as dBase III
    seed("table", "version-8b", s);
}

void decodeSeeds()
{
    seed("decode", "empty", decodeInput({orx::image::kOperationalMarker, 0, 0}));
    seed("decode", "operational-only", decodeInput(smallArchive(3, 0)));
    seed("decode", "mixed", decodeInput(smallArchive(4, 3)));
    orx::emu::GeneratorOptions o;
    o.seed = 5;
    seed("decode", "generated", decodeInput(orx::emu::generateArchive(o)));

    orx::OperationalRecord late;
    late.year = 30;
    late.month = 12;
    late.day = 31;
    late.hour = 23;
    late.temperature = orx::temperatureWord(-273);
    orx::OperationalRecord badDate;
    badDate.month = 13;
    badDate.day = 32;
    badDate.hour = 25;
    seed("decode", "odd-readings",
         decodeInput(orx::ArchiveBuilder().operational({late, badDate}).build()));

    orx::ObservationBlock wrongSlot;
    wrongSlot.slot = 7;
    wrongSlot.records.resize(2);
    orx::ObservationBlock overDeclared;
    overDeclared.slot = 1;
    overDeclared.records.resize(2);
    overDeclared.declaredCount = 500;
    seed("decode", "wrong-slot-and-over-declared",
         decodeInput(
             orx::ArchiveBuilder().observation(wrongSlot).observation(overDeclared).build()));
    seed("decode", "over-declared-operational",
         decodeInput(orx::ArchiveBuilder().declaredOperationalCount(9000).build()));
}

// Steps of the download target's input programs.
struct Program
{
    std::string bytes;
    Program& batch(const std::string& chars)
    {
        for (std::size_t at = 0; at < chars.size(); at += 255) {
            const std::string part = chars.substr(at, 255);
            bytes += '\0';
            bytes += static_cast<char>(part.size());
            bytes += part;
        }
        return *this;
    }
    Program& step(char s)
    {
        bytes += s;
        return *this;
    }
};
constexpr char kIdentTimer = 3, kRequestTimer = 4, kCancel = 5, kPortLost = 6, kStart = 7;

void downloadSeeds()
{
    const std::string ident = orx::emu::identification(5, 7, 3, 15);
    const std::string stream = "S" + orx::emu::hexPairs(smallArchive(6, 2)) + "P";
    seed("download", "good", Program().batch(ident).step(kRequestTimer).batch(stream).bytes);
    seed("download", "good-twice",
         Program()
             .batch(ident)
             .step(kRequestTimer)
             .batch(stream)
             .step(kStart)
             .batch(ident)
             .step(kRequestTimer)
             .batch(stream)
             .bytes);
    seed("download", "busy-then-good",
         Program().batch("Z").batch("Z").batch(ident).step(kRequestTimer).batch(stream).bytes);
    seed("download", "second-port",
         Program().step(kIdentTimer).batch(ident).step(kRequestTimer).batch(stream).bytes);
    seed("download", "not-found", Program().step(kIdentTimer).step(kIdentTimer).step(kStart).bytes);
    seed("download", "wrong-type", Program().batch(orx::emu::identification(4, 1, 2, 3)).bytes);
    seed("download", "noise-and-long-ident",
         Program().batch("xx" + ident).step(kRequestTimer).batch("\r\n~" + stream + "tail").bytes);
    std::string bad = stream;
    bad[5] = '@';
    seed("download", "bad-pair", Program().batch(ident).step(kRequestTimer).batch(bad).bytes);
    seed("download", "odd-length",
         Program().batch(ident).step(kRequestTimer).batch(stream.substr(0, 40) + "P").bytes);
    seed("download", "end-without-start",
         Program().batch(ident).step(kRequestTimer).batch("0102P").bytes);
    seed("download", "cancel-midway",
         Program()
             .batch(ident)
             .step(kRequestTimer)
             .batch(stream.substr(0, 100))
             .step(kCancel)
             .bytes);
    seed("download", "device-lost",
         Program()
             .batch(ident)
             .step(kRequestTimer)
             .batch(stream.substr(0, 100))
             .step(kPortLost)
             .step(kStart)
             .bytes);
    // A long stream from one repeated batch: 16 * 256 * 64 characters, past the buffer.
    std::string repeated = Program().batch(ident).step(kRequestTimer).batch("S").bytes;
    repeated += '\x02';
    repeated += static_cast<char>(64);
    repeated += static_cast<char>(255);
    repeated += std::string(64, '0');
    seed("download", "overflow", repeated);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seed_maker <corpus folder>\n");
        return 2;
    }
    g_corpus = argv[1];
    tableSeeds();
    decodeSeeds();
    downloadSeeds();
    return 0;
}
