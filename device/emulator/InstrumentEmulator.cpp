#include "device/emulator/InstrumentEmulator.h"

#include "archive/ArchiveBuilder.h"
#include "archive/ArchiveImage.h"
#include "device/DownloadEngine.h"

#include <array>
#include <cmath>
#include <stdexcept>

namespace orx::emu {

namespace {

constexpr int kReplyDelayMs = 5;
constexpr int kSplitPauseMs = 60;
constexpr const char* kIdentificationFiller = "000000";

// A small generator of our own, so archives are the same on every platform.
class Random
{
public:
    explicit Random(unsigned seed) : m_state(seed * 2654435761u + 1) {}
    unsigned next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }
    int range(int low, int high) { return low + static_cast<int>(next() % static_cast<unsigned>(high - low + 1)); }

private:
    unsigned m_state;
};

// Minutes since 1 Jan 2000, and back.
struct Moment
{
    int year, month, day, hour, minute, second;
};

bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int daysIn(int y, int m)
{
    static const int d[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leap(y) ? 29 : d[m - 1];
}

Moment momentAt(long long seconds)
{
    Moment m{2000, 1, 1, 0, 0, 0};
    long long days = seconds / 86400;
    long long rest = seconds % 86400;
    while (days >= (leap(m.year) ? 366 : 365)) {
        days -= leap(m.year) ? 366 : 365;
        ++m.year;
    }
    while (days >= daysIn(m.year, m.month)) {
        days -= daysIn(m.year, m.month);
        ++m.month;
    }
    m.day = static_cast<int>(days) + 1;
    m.hour = static_cast<int>(rest / 3600);
    m.minute = static_cast<int>(rest / 60 % 60);
    m.second = static_cast<int>(rest % 60);
    return m;
}

long long secondsOf(int year, int month, int day, int hour, int minute, int second)
{
    long long days = 0;
    for (int y = 2000; y < year; ++y)
        days += leap(y) ? 366 : 365;
    for (int mo = 1; mo < month; ++mo)
        days += daysIn(year, mo);
    days += day - 1;
    return days * 86400 + hour * 3600 + minute * 60 + second;
}

OperationalRecord operationalAt(long long seconds, std::uint8_t module, std::uint8_t sensor, int tenths)
{
    const Moment m = momentAt(seconds);
    OperationalRecord r;
    r.module = module;
    r.sensor = sensor;
    r.year = static_cast<std::uint8_t>(m.year - 2000);
    r.month = static_cast<std::uint8_t>(m.month);
    r.day = static_cast<std::uint8_t>(m.day);
    r.hour = static_cast<std::uint8_t>(m.hour);
    r.minute = static_cast<std::uint8_t>(m.minute);
    r.second = static_cast<std::uint8_t>(m.second);
    r.temperature = temperatureWord(tenths);
    return r;
}

ObservationRecord observationAt(long long seconds, std::uint8_t hours, std::uint8_t period, int tenths)
{
    const Moment m = momentAt(seconds);
    ObservationRecord r;
    r.duration = hours;
    r.period = period;
    r.year = static_cast<std::uint8_t>(m.year - 2000);
    r.month = static_cast<std::uint8_t>(m.month);
    r.day = static_cast<std::uint8_t>(m.day);
    r.hour = static_cast<std::uint8_t>(m.hour);
    r.minute = static_cast<std::uint8_t>(m.minute);
    r.temperature = temperatureWord(tenths);
    return r;
}

// A curing curve: warms from the start temperature to a peak, then cools
// towards the surroundings, with a small daily swing.
int curveTenths(int start, int peak, double t, double hours)
{
    const double rise = std::min(1.0, t / std::max(1.0, hours * 0.3));
    const double fall = t > hours * 0.3 ? std::exp(-(t - hours * 0.3) / std::max(1.0, hours * 0.4)) : 1.0;
    const double swing = 8.0 * std::sin(t / 24.0 * 2 * M_PI);
    return static_cast<int>(std::lround(start + (peak - start) * rise * fall + swing));
}

const std::uint8_t kModules[] = {0xC0, 0xC1, 0xC2, 'A'}; // А, Б, В, A

} // namespace

std::string hexPairs(const std::vector<std::uint8_t>& bytes)
{
    std::string s;
    s.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        s.push_back(static_cast<char>(wire::kNibbleBase + (b & 0x0F)));
        s.push_back(static_cast<char>(wire::kNibbleBase + (b >> 4)));
    }
    return s;
}

std::string identification(std::uint8_t type, std::uint8_t a, std::uint8_t b, std::uint8_t c)
{
    return hexPairs({type, a, b, c}) + kIdentificationFiller;
}

InstrumentEmulator::InstrumentEmulator(Behaviour behaviour, std::vector<std::uint8_t> archive)
    : m_behaviour(std::move(behaviour)), m_archive(std::move(archive)), m_busyLeft(m_behaviour.busyReplies)
{
}

std::vector<Reply> InstrumentEmulator::onByte(char request)
{
    if (m_behaviour.silent || m_stalled)
        return {};
    if (request == wire::kRequestIdentification) {
        if (m_behaviour.busyForever || m_busyLeft > 0) {
            if (m_busyLeft > 0)
                --m_busyLeft;
            return {{std::string(1, wire::kNotReady), kReplyDelayMs}};
        }
        const std::string id = m_behaviour.identificationPrefix +
                               identification(m_behaviour.type, m_behaviour.versionA,
                                              m_behaviour.versionB, m_behaviour.versionC);
        if (m_behaviour.splitIdentification) {
            const std::size_t cut = id.size() - 6;
            return {{id.substr(0, cut), kReplyDelayMs}, {id.substr(cut), kSplitPauseMs}};
        }
        return {{id, kReplyDelayMs}};
    }
    if (request == wire::kRequestArchive) {
        ++m_archivesSent;
        std::string pairs = hexPairs(m_archive);
        if (m_behaviour.badPair && pairs.size() >= 4)
            pairs[(pairs.size() / 2 & ~std::size_t(1)) + 1] = '@'; // a high nibble of 16
        if (m_behaviour.oddLength && !pairs.empty())
            pairs.pop_back();
        std::string stream = m_behaviour.noiseBeforeStart + wire::kStart + pairs + wire::kEnd;
        if (m_behaviour.hangUpAfter >= 0 && static_cast<std::size_t>(m_behaviour.hangUpAfter) < stream.size())
            stream.resize(static_cast<std::size_t>(m_behaviour.hangUpAfter));
        if (m_behaviour.stallAfter >= 0 &&
            static_cast<std::size_t>(m_behaviour.stallAfter) < stream.size()) {
            stream.resize(static_cast<std::size_t>(m_behaviour.stallAfter));
            m_stalled = true;
        }
        if (m_behaviour.archiveCharacterMs <= 0)
            return {{stream, kReplyDelayMs}};
        // A slow but steady stream: one character at a time.
        std::vector<Reply> replies;
        replies.reserve(stream.size());
        for (char c : stream)
            replies.push_back({std::string(1, c), m_behaviour.archiveCharacterMs});
        return replies;
    }
    return {};
}

std::vector<std::uint8_t> generateArchive(const GeneratorOptions& o)
{
    Random rnd(o.seed);
    ArchiveBuilder b;
    // Spot readings every 20 to 90 minutes, from 1 March 2024 on.
    std::vector<OperationalRecord> ops;
    long long t = secondsOf(2024, 3, 1, 8, 0, 0);
    for (int i = 0; i < o.operationalReadings; ++i) {
        t += rnd.range(20 * 60, 90 * 60) + rnd.range(0, 59);
        const std::uint8_t module = kModules[rnd.range(0, 3)];
        const auto sensor = static_cast<std::uint8_t>(rnd.range(1, 8));
        ops.push_back(operationalAt(t, module, sensor, rnd.range(-150, 350)));
    }
    b.operational(ops);
    // Observations in ascending slots, some slots left out.
    int slot = 0;
    long long start = secondsOf(2024, 4, 2, 9, 0, 0);
    for (int k = 0; k < o.observations && slot < 20; ++k) {
        slot += (k == 0 || rnd.range(0, 3) != 0) ? 1 : 2;
        if (slot > 20)
            break;
        ObservationBlock blk;
        blk.firstByte = static_cast<std::uint8_t>(rnd.range(0, 255));
        blk.module = kModules[rnd.range(0, 3)];
        blk.slot = static_cast<std::uint8_t>(slot);
        const auto period = static_cast<std::uint8_t>(std::array<int, 4>{1, 5, 10, 30}[rnd.range(0, 3)]);
        const int n = o.readingsPerObservation;
        const auto hours = static_cast<std::uint8_t>(std::min(255, (n * period + 59) / 60));
        const int startTemp = rnd.range(50, 200);
        const int peak = startTemp + rnd.range(50, 350);
        for (int i = 0; i < n; ++i) {
            const double elapsedHours = i * period / 60.0;
            blk.records.push_back(observationAt(start + static_cast<long long>(i) * period * 60, hours, period,
                                                curveTenths(startTemp, peak, elapsedHours, hours)));
        }
        b.observation(blk);
        start += static_cast<long long>(n) * period * 60 + rnd.range(2, 30) * 3600;
    }
    return b.build();
}

std::vector<std::uint8_t> extendArchive(const std::vector<std::uint8_t>& archive, int count, unsigned seed)
{
    using namespace image;
    Random rnd(seed);
    ArchiveImage img;
    img.assign(archive);
    auto word = [&](std::size_t at) -> std::size_t {
        if (!img.holds(at, 2))
            throw std::runtime_error("archive ends inside a block header");
        return ReadWordLE(img, at);
    };
    ArchiveBuilder b;
    const std::size_t c = word(kOperationalCountOffset);
    std::vector<OperationalRecord> ops;
    std::size_t pos = kOperationalHeaderSize;
    for (std::size_t i = 0; i < c; ++i, pos += kRecordSize) {
        const std::uint8_t* r = img.data() + pos;
        OperationalRecord rec;
        rec.module = r[kOpModule];
        rec.sensor = r[kOpSensor];
        rec.year = r[kOpYear];
        rec.month = r[kOpMonth];
        rec.day = r[kOpDay];
        rec.hour = r[kOpHour];
        rec.minute = r[kOpMinute];
        rec.second = r[kOpSecond];
        rec.temperature = static_cast<std::uint16_t>(r[kOpTemperature] | r[kOpTemperature + 1] << 8);
        ops.push_back(rec);
    }
    long long last = ops.empty() ? secondsOf(2024, 3, 1, 8, 0, 0)
                                 : secondsOf(2000 + ops.back().year, ops.back().month, ops.back().day,
                                             ops.back().hour, ops.back().minute, ops.back().second);
    for (int i = 0; i < count; ++i) {
        last += rnd.range(20 * 60, 90 * 60);
        ops.push_back(operationalAt(last, kModules[rnd.range(0, 3)], static_cast<std::uint8_t>(rnd.range(1, 8)),
                                    rnd.range(-150, 350)));
    }
    b.operational(ops);
    while (img.holds(pos, kObsHeaderSize) && word(pos + kObsCount) != 0) {
        ObservationBlock blk;
        blk.firstByte = img.data()[pos + kObsFirstByte];
        blk.module = img.data()[pos + kObsModule];
        blk.slot = img.data()[pos + kObsSlot];
        const std::size_t n = word(pos + kObsCount);
        pos += kObsHeaderSize;
        for (std::size_t i = 0; i < n && img.holds(pos, kRecordSize); ++i, pos += kRecordSize) {
            const std::uint8_t* r = img.data() + pos;
            ObservationRecord rec;
            rec.duration = r[kObsDuration];
            rec.spare = r[kObsSpare];
            rec.period = r[kObsPeriod];
            rec.year = r[kObsYear];
            rec.month = r[kObsMonth];
            rec.day = r[kObsDay];
            rec.hour = r[kObsHour];
            rec.minute = r[kObsMinute];
            rec.temperature = static_cast<std::uint16_t>(r[kObsTemperature] | r[kObsTemperature + 1] << 8);
            blk.records.push_back(rec);
        }
        if (!blk.records.empty()) {
            const ObservationRecord back = blk.records.back();
            long long t = secondsOf(2000 + back.year, std::max<int>(1, back.month), std::max<int>(1, back.day),
                                    back.hour, back.minute, 0);
            const int period = std::max<int>(1, back.period);
            int tenths = static_cast<std::int16_t>(back.temperature);
            for (int i = 0; i < count; ++i) {
                t += period * 60;
                tenths += rnd.range(-3, 3);
                blk.records.push_back(observationAt(t, back.duration, back.period, tenths));
            }
        }
        b.observation(blk);
    }
    return b.build();
}

} // namespace orx::emu
