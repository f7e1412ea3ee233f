// CPU time of the download exchange: a full 262,144-character stream fed in
// the 48-character batches a 50 ms poll sees at 9600 bit/s.

#include "archive/ArchiveImage.h"
#include "device/DownloadEngine.h"
#include "device/emulator/InstrumentEmulator.h"

#include <benchmark/benchmark.h>

namespace {

class NullIo : public orx::DownloadIo
{
public:
    bool ok = false;
    void connectPort(const std::string&) override {}
    void disconnectPort() override {}
    bool sendByte(std::uint8_t) override { return true; }
    void startTimer(orx::DownloadTimer, int) override {}
    void stopTimer(orx::DownloadTimer) override {}
    void finished(orx::DownloadResult r, orx::DownloadFailure) override { ok = r == orx::DownloadResult::Ok; }
};

void BM_ExchangeFullStream(benchmark::State& state)
{
    std::vector<std::uint8_t> bytes(orx::image::kMaxDownloadLength, 0x5A);
    bytes[0] = 0xCE;
    bytes[1] = bytes[2] = 0;
    const std::string stream = "S" + orx::emu::hexPairs(bytes) + "P";
    const std::string id = orx::emu::identification(5, 7, 3, 15);
    orx::ArchiveImage image;
    constexpr std::size_t kBatch = 48;
    for (auto _ : state) {
        NullIo io;
        orx::DownloadEngine engine(io, image);
        engine.start();
        engine.receive(id.data(), id.size());
        engine.timerFired(orx::DownloadTimer::Request);
        for (std::size_t i = 0; i < stream.size(); i += kBatch)
            engine.receive(stream.data() + i, std::min(kBatch, stream.size() - i));
        if (!io.ok)
            state.SkipWithError("exchange failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
}
BENCHMARK(BM_ExchangeFullStream)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
