#include "device/DownloadSession.h"

namespace orx {

namespace {
constexpr int kDriverBufSize = 4096;
}

DownloadSession::DownloadSession(ArchiveImage& image, QObject* parent)
    : QObject(parent), m_engine(*this, image)
{
    // CommPortDriver1: 9600 bit/s, 8N1, DTR off, RTS on, 4096-byte queues.
    m_driver.setPortName(QString::fromLatin1(kPortCom1));
    m_driver.setInBufSize(kDriverBufSize);
    m_driver.setOutBufSize(kDriverBufSize);
    m_driver.setEnableDTROnOpen(false);
    m_driver.setOnReceiveData([this](TCommPortDriver*, const char* data, int size) {
        Q_EMIT batchReceived(QByteArray(data, size));
        m_engine.receive(data, static_cast<std::size_t>(size));
    });
    m_driver.setOnDeviceLost([this] { m_engine.portLost(); });
    for (QTimer* t : {&m_timer1, &m_timer2}) {
        t->setSingleShot(true);
        t->setTimerType(Qt::PreciseTimer); // never before the 3000 ms and 1000 ms are up
    }
    connect(&m_timer1, &QTimer::timeout, this, [this] { m_engine.timerFired(DownloadTimer::Identification); });
    connect(&m_timer2, &QTimer::timeout, this, [this] { m_engine.timerFired(DownloadTimer::Request); });
}

DownloadSession::~DownloadSession()
{
    m_timer1.stop();
    m_timer2.stop();
    m_driver.Disconnect();
}

void DownloadSession::connectPort(const std::string& portName)
{
    m_driver.setPortName(QString::fromStdString(portName));
    m_driver.Connect(); // a port that does not open shows only as a time-out
}

void DownloadSession::disconnectPort() { m_driver.Disconnect(); }

bool DownloadSession::sendByte(std::uint8_t byte) { return m_driver.SendByte(byte); }

void DownloadSession::startTimer(DownloadTimer t, int milliseconds) { timer(t).start(milliseconds); }

void DownloadSession::stopTimer(DownloadTimer t) { timer(t).stop(); }

} // namespace orx
