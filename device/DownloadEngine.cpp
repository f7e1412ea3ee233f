#include "device/DownloadEngine.h"

#include "archive/ArchiveImage.h"

#include <algorithm>
#include <cstring>

namespace orx {
namespace {

constexpr const char* kDeviceTypeText = "ВЕЛАРИ-5";
constexpr std::size_t kMinBlockArchive = 5;

std::string twoDigits(int v)
{
    std::string s = std::to_string(v);
    return (v >= 0 && v < 10) ? "0" + s : s;
}

} // namespace

int HexPairValue(char first, char second)
{
    return 16 * (static_cast<unsigned char>(second) - wire::kNibbleBase) +
           (static_cast<unsigned char>(first) - wire::kNibbleBase);
}

bool isStreamFailure(DownloadFailure f)
{
    return f == DownloadFailure::BadPair || f == DownloadFailure::NoStart ||
           f == DownloadFailure::OddLength || f == DownloadFailure::Overflow ||
           f == DownloadFailure::DeviceLost;
}

DownloadEngine::DownloadEngine(DownloadIo& io, ArchiveImage& image)
    : m_io(io), m_image(image), m_buffer(wire::kReceiveBufferSize)
{
}

void DownloadEngine::resetExchange()
{
    m_seenStart = false;
    m_seenEnd = false;
    m_count = 0;
    m_io.setProgress(0);
}

void DownloadEngine::sendRequest(char request)
{
    m_lastRequest = request;
    m_io.sendByte(static_cast<std::uint8_t>(request));
}

void DownloadEngine::start()
{
    m_io.stopTimer(DownloadTimer::Request);
    m_secondPort = false;
    m_active = true;
    m_version.clear();
    resetExchange();
    m_io.showDeviceType("");
    m_io.showVersion("");
    m_io.showRecordCount("");
    m_io.showStatus(DownloadStatus::WaitingForInstrument);
    m_io.connectPort(kPortCom1);
    sendRequest(wire::kRequestIdentification);
    m_io.startTimer(DownloadTimer::Identification, wire::kIdentificationTimeoutMs);
}

void DownloadEngine::timerFired(DownloadTimer timer)
{
    if (!m_active)
        return;
    if (timer == DownloadTimer::Request) {
        m_io.stopTimer(DownloadTimer::Request);
        sendRequest(wire::kRequestArchive);
        m_count = 0; // the archive is stored from the start of the buffer
        return;
    }
    m_io.stopTimer(DownloadTimer::Identification);
    m_io.disconnectPort();
    if (m_secondPort) {
        m_secondPort = false;
        resetExchange();
        finish(DownloadResult::Cancel, DownloadFailure::NotFound);
        return;
    }
    m_secondPort = true;
    m_io.connectPort(kPortCom2);
    resetExchange();
    sendRequest(wire::kRequestIdentification);
    m_io.startTimer(DownloadTimer::Identification, wire::kIdentificationTimeoutMs);
}

void DownloadEngine::cancel()
{
    if (!m_active)
        return;
    resetExchange();
    m_io.disconnectPort();
    finish(DownloadResult::Cancel, DownloadFailure::Cancelled);
}

void DownloadEngine::portLost()
{
    if (m_active)
        fail(DownloadFailure::DeviceLost);
}

void DownloadEngine::receive(const char* data, std::size_t size)
{
    if (!m_active || size == 0)
        return;
    if (size > m_buffer.size() - m_count) {
        // More than the receive buffer holds: nothing is written past it.
        fail(DownloadFailure::Overflow);
        return;
    }
    std::memcpy(m_buffer.data() + m_count, data, size);
    for (std::size_t i = 0; i < size; ++i) {
        const char c = data[i];
        if (c == wire::kEnd) {
            m_seenEnd = true;
        } else if (c == wire::kStart) {
            m_seenStart = true;
            m_io.stopTimer(DownloadTimer::Identification);
        } else if (c == wire::kNotReady) {
            m_io.stopTimer(DownloadTimer::Identification);
            m_count = 0;
            sendRequest(wire::kRequestIdentification);
            return;
        }
    }
    m_count += size;
    m_io.charactersReceived(m_count);
    if (m_lastRequest == wire::kRequestIdentification && m_count >= wire::kIdentificationLength) {
        if (!readIdentification())
            return;
    }
    if (m_seenEnd)
        complete();
}

bool DownloadEngine::readIdentification()
{
    const char* tail = m_buffer.data() + m_count - wire::kIdentificationLength;
    const int type = HexPairValue(tail[wire::kIdentTypePos], tail[wire::kIdentTypePos + 1]);
    if (type != wire::kInstrumentType || tail[wire::kIdentTypePos + 1] != wire::kNibbleBase) {
        m_io.stopTimer(DownloadTimer::Identification);
        m_io.stopTimer(DownloadTimer::Request);
        m_io.disconnectPort();
        m_seenStart = m_seenEnd = false;
        finish(DownloadResult::Cancel, DownloadFailure::WrongDevice);
        return false;
    }
    const int a = HexPairValue(tail[wire::kIdentVersionAPos], tail[wire::kIdentVersionAPos + 1]);
    const int b = HexPairValue(tail[wire::kIdentVersionBPos], tail[wire::kIdentVersionBPos + 1]);
    const int c = HexPairValue(tail[wire::kIdentVersionCPos], tail[wire::kIdentVersionCPos + 1]);
    m_io.stopTimer(DownloadTimer::Identification);
    m_version = twoDigits(c) + "." + twoDigits(b) + "." + twoDigits(a);
    m_io.showDeviceType(kDeviceTypeText);
    m_io.showVersion(m_version);
    m_seenStart = m_seenEnd = false;
    m_io.showStatus(DownloadStatus::Receiving);
    m_io.startTimer(DownloadTimer::Request, wire::kRequestDelayMs);
    return true;
}

void DownloadEngine::complete()
{
    m_seenStart = m_seenEnd = false;
    m_io.disconnectPort();
    m_io.stopTimer(DownloadTimer::Identification);
    m_io.stopTimer(DownloadTimer::Request);

    const char* begin = m_buffer.data();
    const char* end = begin + m_count;
    const char* p = std::find(begin, end, wire::kEnd);
    const char* s = std::find(begin, end, wire::kStart);
    if (s >= p) {
        fail(DownloadFailure::NoStart);
        return;
    }
    const std::size_t pairsLength = static_cast<std::size_t>(p - s - 1);
    if (pairsLength % 2 != 0) {
        fail(DownloadFailure::OddLength);
        return;
    }
    const int pIndex = static_cast<int>(p - begin);
    if (pIndex > 1)
        m_io.setProgressMaximum(pIndex);
    // Decoded aside first: the archive image is replaced only by a whole, valid stream.
    std::vector<std::uint8_t> bytes(pairsLength / 2);
    const char* pair = s + 1;
    for (std::size_t n = 0; n < bytes.size(); ++n, pair += 2) {
        const int v = HexPairValue(pair[0], pair[1]);
        if (v < 0 || v > 255) {
            fail(DownloadFailure::BadPair);
            return;
        }
        bytes[n] = static_cast<std::uint8_t>(v);
    }
    if (bytes.size() > 1)
        m_io.setProgress(static_cast<int>(pair - 2 - begin));
    m_image.assign(bytes);
    m_io.showRecordCount(std::to_string(bytes.size()));
    showBlocks(bytes);
    finish(DownloadResult::Ok, DownloadFailure::None);
}

// The per-block display: the operational count, then each observation count,
// walking over the headers (a header with count 0 is stepped over here).
void DownloadEngine::showBlocks(const std::vector<std::uint8_t>& bytes)
{
    const std::size_t n = bytes.size();
    if (n <= kMinBlockArchive || bytes[image::kMarkerOffset] != image::kOperationalMarker)
        return;
    auto word = [&](std::size_t at) { return static_cast<std::size_t>(bytes[at] | bytes[at + 1] << 8); };
    const std::size_t c = word(image::kOperationalCountOffset);
    std::size_t pos = image::kRecordSize * c + 6;
    std::string text = std::to_string(n);
    if (c != 0) {
        m_io.setProgress(static_cast<int>(pos));
        text = std::to_string(c) + "/";
        m_io.makeTabVisible(0);
    }
    for (int k = 1; k <= 20 && n > pos + 2; ++k) {
        const std::size_t count = word(pos);
        pos += image::kRecordSize * count + image::kObsHeaderSize;
        m_io.setProgress(static_cast<int>(std::min<std::size_t>(pos, 0x7FFFFFFF)));
        text += "/" + std::to_string(count) + "/";
        if (k <= 10)
            m_io.makeTabVisible(k);
    }
    m_io.showRecordCount(text);
}

void DownloadEngine::fail(DownloadFailure failure)
{
    m_io.stopTimer(DownloadTimer::Identification);
    m_io.stopTimer(DownloadTimer::Request);
    m_io.disconnectPort();
    m_seenStart = m_seenEnd = false;
    finish(DownloadResult::Cancel, failure);
}

void DownloadEngine::finish(DownloadResult result, DownloadFailure failure)
{
    m_active = false;
    m_io.stopTimer(DownloadTimer::Identification);
    m_io.stopTimer(DownloadTimer::Request);
    m_io.finished(result, failure);
}

} // namespace orx
