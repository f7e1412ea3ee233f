// The download exchange fed with whatever a serial line without a checksum
// may deliver: batches of any bytes, timer expiries, the operator's cancel and
// a vanishing port, in any order. The engine must never write past its
// buffer, must end every exchange with the port closed and its timers
// stopped, and may replace the archive image only with a whole stream.
//
// The input is a little program: each step starts with an operation byte.
//   0, 1  a batch: a length byte, then that many bytes (the second kind is
//         delivered even with no port open)
//   2     a repeated batch: a length byte, a count byte, then the bytes; the
//         batch arrives 16 * (count + 1) times (long streams cheaply)
//   3, 4  the identification or the request timer expires, if it runs
//   5     the operator cancels
//   6     the port reports the device gone
//   7     a new exchange starts, if none is running

#include "archive/ArchiveImage.h"
#include "device/DownloadEngine.h"
#include "fuzz/FuzzSupport.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

using orx::DownloadFailure;
using orx::DownloadResult;
using orx::DownloadTimer;
using orx::fuzz::require;

enum Step : std::uint8_t
{
    kBatch = 0,
    kBatchToo = 1,
    kRepeatedBatch = 2,
    kIdentificationTimer = 3,
    kRequestTimer = 4,
    kCancel = 5,
    kPortLost = 6,
    kStart = 7,
    kStepCount = 8,
};
constexpr std::size_t kRepeatUnit = 16;

class LineIo : public orx::DownloadIo
{
public:
    void connectPort(const std::string& name) override
    {
        require(!connected, "a port opened over an open one");
        require(name == orx::kPortCom1 || name == orx::kPortCom2, "an unknown port");
        connected = true;
    }
    void disconnectPort() override { connected = false; }
    bool sendByte(std::uint8_t) override
    {
        require(connected, "a byte sent with no port open");
        return true;
    }
    void startTimer(DownloadTimer timer, int milliseconds) override
    {
        require(milliseconds > 0, "a timer started with no interval");
        running[index(timer)] = true;
    }
    void stopTimer(DownloadTimer timer) override { running[index(timer)] = false; }
    void setProgressMaximum(int maximum) override { require(maximum >= 0, "a negative maximum"); }
    void setProgress(int position) override { require(position >= 0, "a negative progress"); }
    void makeTabVisible(int tab) override
    {
        require(tab >= 0 && tab <= 10, "a tab that does not exist");
    }
    void finished(DownloadResult result, DownloadFailure failure) override
    {
        require(!connected, "an exchange ended with the port open");
        require(!running[0] && !running[1], "an exchange ended with a timer running");
        require((result == DownloadResult::Ok) == (failure == DownloadFailure::None),
                "a result that contradicts its failure");
        ++endings;
        lastResult = result;
    }

    static int index(DownloadTimer t) { return t == DownloadTimer::Identification ? 0 : 1; }

    bool connected = false;
    bool running[2] = {false, false};
    int endings = 0;
    DownloadResult lastResult = DownloadResult::Cancel;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // One engine and image for the whole run (their buffers are large); start()
    // begins every exchange afresh, as the dialog does each time it opens.
    static LineIo io;
    static orx::ArchiveImage image;
    static orx::DownloadEngine engine(io, image);
    io = LineIo();
    const std::uint8_t before[] = {0xCE, 0x00, 0x00};
    image.assign(before, sizeof before);
    engine.start();

    bool delivered = false;
    std::size_t i = 0;
    auto take = [&](std::size_t n) -> const char* {
        if (n > size - i)
            return nullptr;
        const char* p = reinterpret_cast<const char*>(data + i);
        i += n;
        return p;
    };
    while (i < size) {
        const int endingsBefore = io.endings;
        const std::uint8_t step = data[i++] % kStepCount;
        switch (step) {
        case kBatch:
        case kBatchToo: {
            const char* len = take(1);
            const char* bytes = len ? take(static_cast<std::uint8_t>(*len)) : nullptr;
            // The second kind arrives whether a port is open or not, as bytes
            // still queued from a port just closed might.
            if (bytes && (io.connected || step == kBatchToo))
                engine.receive(bytes, static_cast<std::uint8_t>(*len));
            break;
        }
        case kRepeatedBatch: {
            const char* head = take(2);
            const std::size_t n = head ? static_cast<std::uint8_t>(head[0]) : 0;
            const char* bytes = head ? take(n) : nullptr;
            const std::size_t times =
                head ? kRepeatUnit * (static_cast<std::uint8_t>(head[1]) + 1u) : 0;
            for (std::size_t t = 0; bytes && t < times && io.connected; ++t)
                engine.receive(bytes, n);
            break;
        }
        case kIdentificationTimer:
        case kRequestTimer: {
            const DownloadTimer timer = step == kIdentificationTimer ? DownloadTimer::Identification
                                                                     : DownloadTimer::Request;
            if (io.running[LineIo::index(timer)]) {
                io.running[LineIo::index(timer)] = false; // one-shot
                engine.timerFired(timer);
            }
            break;
        }
        case kCancel:
            engine.cancel();
            break;
        case kPortLost:
            if (io.connected)
                engine.portLost();
            break;
        case kStart:
            if (!engine.active())
                engine.start();
            break;
        }
        require(io.endings <= endingsBefore + 1, "one step ended the exchange twice");
        if (io.endings > endingsBefore) {
            require(!engine.active(), "an ended exchange is still active");
            delivered = delivered || io.lastResult == DownloadResult::Ok;
        }
        if (delivered)
            require(image.length() <= orx::image::kMaxDownloadLength,
                    "an image longer than a download");
        else
            require(image.length() == sizeof before &&
                        std::memcmp(image.data(), before, sizeof before) == 0,
                    "the image changed without a whole stream");
    }
    require(engine.count() <= orx::wire::kReceiveBufferSize,
            "more characters than the buffer holds");
    // The operator closes the dialog: whatever was running ends here, with
    // the port closed and the timers stopped.
    const int endingsBefore = io.endings;
    const bool wasActive = engine.active();
    engine.cancel();
    require(!engine.active() && !io.connected, "a cancelled exchange left the port open");
    require(io.endings == endingsBefore + (wasActive ? 1 : 0),
            "a cancel that did not end the exchange");
    return 0;
}
