#pragma once

// The download exchange with the instrument, without widgets or ports of its
// own: fed with received batches, timer expiries and the operator's cancel,
// it asks its surroundings (DownloadIo) to open and close ports, send bytes,
// run timers and show what it found, and ends with OK (a new archive image)
// or Cancel.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orx {

class ArchiveImage;

namespace wire {
constexpr char kRequestIdentification = 'V';
constexpr char kRequestArchive = 'N';
constexpr char kNotReady = 'Z';
constexpr char kStart = 'S';
constexpr char kEnd = 'P';
constexpr char kNibbleBase = 0x30;
constexpr std::size_t kIdentificationLength = 14;
constexpr std::size_t kIdentTypePos = 0;
constexpr std::size_t kIdentVersionAPos = 2;
constexpr std::size_t kIdentVersionBPos = 4;
constexpr std::size_t kIdentVersionCPos = 6;
constexpr int kInstrumentType = 5;
constexpr std::size_t kReceiveBufferSize = 262144;
constexpr int kIdentificationTimeoutMs = 3000;
constexpr int kRequestDelayMs = 1000;
} // namespace wire

// 16 * (second - 0x30) + (first - 0x30): low nibble first. Outside 0..255 for
// characters that are not part of the code.
int HexPairValue(char first, char second);

inline constexpr const char* kPortCom1 = "\\\\.\\COM1";
inline constexpr const char* kPortCom2 = "\\\\.\\COM2";

enum class DownloadTimer { Identification, Request }; // Timer1, Timer2

enum class DownloadStatus { WaitingForInstrument, Receiving };

enum class DownloadResult { Ok = 1, Cancel = 2 };

// Why an exchange did not deliver an archive.
enum class DownloadFailure {
    None,
    Cancelled,    // the operator pressed "Отмена"
    NotFound,     // no identification on either port
    WrongDevice,  // an instrument of another type
    BadPair,      // a character pair outside the code
    NoStart,      // no 'S' before the first 'P'
    OddLength,    // an odd number of characters between 'S' and 'P'
    Overflow,     // more characters than the receive buffer holds
    DeviceLost,   // the port went away during the exchange
};

// Whether a failure is an error in the received stream (the dialog then stays
// open with the message until the operator cancels).
bool isStreamFailure(DownloadFailure f);

class DownloadIo
{
public:
    virtual ~DownloadIo() = default;
    // The serial port driver.
    virtual void connectPort(const std::string& portName) = 0;
    virtual void disconnectPort() = 0;
    virtual bool sendByte(std::uint8_t byte) = 0;
    // One-shot timers; starting a running timer restarts it.
    virtual void startTimer(DownloadTimer timer, int milliseconds) = 0;
    virtual void stopTimer(DownloadTimer timer) = 0;

    // What the dialog shows.
    virtual void showStatus(DownloadStatus) {}
    virtual void showDeviceType(const std::string&) {}
    virtual void showVersion(const std::string&) {}
    virtual void showRecordCount(const std::string&) {}
    virtual void setProgressMaximum(int) {}
    virtual void setProgress(int) {}
    virtual void charactersReceived(std::size_t) {}
    // The main window's tab of this index is to be made visible (0 = operational).
    virtual void makeTabVisible(int) {}

    // The end of the exchange. For a stream failure the result is not final:
    // the exchange is over (port closed) but the caller decides when to end.
    virtual void finished(DownloadResult result, DownloadFailure failure) = 0;
};

class DownloadEngine
{
public:
    DownloadEngine(DownloadIo& io, ArchiveImage& image);

    void start();
    void receive(const char* data, std::size_t size);
    void timerFired(DownloadTimer timer);
    void cancel();
    // The port reported that the device is gone.
    void portLost();

    bool active() const { return m_active; }
    const std::string& version() const { return m_version; }
    std::size_t count() const { return m_count; }

private:
    void resetExchange();
    void sendRequest(char request);
    bool readIdentification();
    void complete();
    void fail(DownloadFailure failure);
    void finish(DownloadResult result, DownloadFailure failure);
    void showBlocks(const std::vector<std::uint8_t>& bytes);

    DownloadIo& m_io;
    ArchiveImage& m_image;
    std::vector<char> m_buffer;
    std::size_t m_count = 0;
    char m_lastRequest = wire::kRequestIdentification;
    bool m_seenStart = false;
    bool m_seenEnd = false;
    bool m_secondPort = false;
    bool m_active = false;
    std::string m_version;
};

} // namespace orx
