#include "device/CPDrv.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QSerialPort>
#include <QThread>
#include <QTimer>

#include <algorithm>

#ifndef Q_OS_WIN
#include <poll.h>
#endif

namespace orx {

namespace {

constexpr const char* kComPrefix = "\\\\.\\COM";

int clampBuf(int size) { return std::clamp(size, port::kMinBufSize, port::kMaxBufSize); }

} // namespace

int baudRateBits(TBaudRate rate)
{
    static const int bits[] = {0,     110,   300,   600,    1200,   2400,   4800,  9600,
                               14400, 19200, 38400, 56000,  57600,  115200, 128000, 256000};
    return bits[rate];
}

QString comPortName(int number) { return QString::fromLatin1(kComPrefix) + QString::number(number); }

QString systemPortPath(const QString& portName)
{
#ifdef Q_OS_WIN
    return portName;
#else
    const QString prefix = QString::fromLatin1(kComPrefix);
    if (!portName.startsWith(prefix))
        return portName;
    bool ok = false;
    const int n = portName.mid(prefix.size()).toInt(&ok);
    if (!ok || n < 1)
        return portName;
    const QByteArray env = qgetenv(("ORX_COM" + QByteArray::number(n)).constData());
    if (!env.isEmpty())
        return QString::fromLocal8Bit(env);
    return QStringLiteral("/dev/ttyS") + QString::number(n - 1);
#endif
}

TCommPortDriver::TCommPortDriver(QObject* parent)
    : QObject(parent), m_portName(comPortName(2)), m_pollTimer(new QTimer(this))
{
    m_buffer.resize(m_inBufSize);
    m_pollTimer->setInterval(m_pollingDelay);
    m_pollTimer->setTimerType(Qt::PreciseTimer);
    connect(m_pollTimer, &QTimer::timeout, this, &TCommPortDriver::poll);
}

TCommPortDriver::~TCommPortDriver() { Disconnect(); }

void TCommPortDriver::setPort(TPortNumber port)
{
    if (IsConnected())
        return;
    m_port = port;
    if (port != pnCustom)
        m_portName = comPortName(static_cast<int>(port));
}

void TCommPortDriver::setPortName(const QString& name)
{
    if (IsConnected())
        return;
    m_portName = name;
    m_port = pnCustom;
}

void TCommPortDriver::setBaudRate(TBaudRate rate)
{
    m_baudRate = rate;
    if (rate != brCustom)
        m_baudRateValue = baudRateBits(rate);
    reapply();
}

void TCommPortDriver::setBaudRateValue(int bitsPerSecond)
{
    m_baudRateValue = bitsPerSecond;
    m_baudRate = brCustom;
    reapply();
}

void TCommPortDriver::setDataBits(TDataBits bits)
{
    m_dataBits = bits;
    reapply();
}

void TCommPortDriver::setStopBits(TStopBits bits)
{
    m_stopBits = bits;
    reapply();
}

void TCommPortDriver::setParity(TParity parity)
{
    m_parity = parity;
    reapply();
}

void TCommPortDriver::setHwFlow(THwFlowControl flow)
{
    m_hwFlow = flow;
    reapply();
}

void TCommPortDriver::setSwFlow(TSwFlowControl flow)
{
    m_swFlow = flow;
    reapply();
}

void TCommPortDriver::setInBufSize(int size)
{
    if (IsConnected())
        return;
    m_inBufSize = clampBuf(size);
    m_buffer.resize(m_inBufSize);
}

void TCommPortDriver::setOutBufSize(int size)
{
    if (IsConnected())
        return;
    m_outBufSize = clampBuf(size);
}

void TCommPortDriver::setPollingDelay(int ms)
{
    m_pollingDelay = std::max(ms, port::kMinPollingDelay);
    m_pollTimer->setInterval(m_pollingDelay);
    if (IsConnected())
        m_pollTimer->start();
}

void TCommPortDriver::reapply()
{
    if (IsConnected())
        ApplyLineSettings();
}

bool TCommPortDriver::IsConnected() const { return m_serial && m_serial->isOpen(); }

bool TCommPortDriver::Connect()
{
    if (IsConnected())
        return true;
    m_serial = std::make_unique<QSerialPort>();
    m_serial->setPortName(systemPortPath(m_portName));
    if (!m_serial->open(QIODevice::ReadWrite)) {
        m_serial.reset();
        return false;
    }
    connect(m_serial.get(), &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
        if (e == QSerialPort::ResourceError)
            portError();
    });
    if (!ApplyLineSettings()) {
        Disconnect();
        return false;
    }
    m_pollTimer->start(m_pollingDelay);
    return true;
}

void TCommPortDriver::Disconnect()
{
    m_pollTimer->stop();
    if (!m_serial)
        return;
    m_serial->disconnect(this);
    if (m_serial->isOpen())
        m_serial->close();
    // Deleted later: Disconnect may run inside one of the port's own signals.
    m_serial.release()->deleteLater();
}

void TCommPortDriver::portError()
{
    Disconnect();
    if (m_onDeviceLost)
        m_onDeviceLost();
}

bool TCommPortDriver::ApplyLineSettings()
{
    if (!IsConnected())
        return false;
    static const QSerialPort::DataBits dataBits[] = {QSerialPort::Data5, QSerialPort::Data6,
                                                     QSerialPort::Data7, QSerialPort::Data8};
    static const QSerialPort::StopBits stopBits[] = {QSerialPort::OneStop, QSerialPort::OneAndHalfStop,
                                                     QSerialPort::TwoStop};
    static const QSerialPort::Parity parities[] = {QSerialPort::NoParity, QSerialPort::OddParity,
                                                   QSerialPort::EvenParity, QSerialPort::MarkParity,
                                                   QSerialPort::SpaceParity};
    QSerialPort& s = *m_serial;
    QSerialPort::FlowControl flow = QSerialPort::NoFlowControl;
    if (m_hwFlow == hfRTSCTS)
        flow = QSerialPort::HardwareControl;
    else if (m_swFlow == sfXONXOFF)
        flow = QSerialPort::SoftwareControl;
    if (!s.setBaudRate(m_baudRateValue) || !s.setDataBits(dataBits[m_dataBits]) ||
        !s.setParity(parities[m_parity]) || !s.setStopBits(stopBits[m_stopBits]) ||
        !s.setFlowControl(flow))
        return false;
    // A device without modem lines (a pseudo-terminal, some adapters) refuses
    // DTR and RTS control; the port works all the same.
    s.setDataTerminalReady(m_enableDtrOnOpen);
    if (m_hwFlow != hfRTSCTS)
        s.setRequestToSend(m_hwFlow == hfNONERTSON);
    s.clearError();
    return PurgeQueues(true, true);
}

bool TCommPortDriver::PurgeQueues(bool input, bool output)
{
    if (!IsConnected())
        return false;
    QSerialPort::Directions d;
    if (input)
        d |= QSerialPort::Input;
    if (output)
        d |= QSerialPort::Output;
    return m_serial->clear(d);
}

int TCommPortDriver::OutputQueueFree() const
{
    if (!IsConnected())
        return port::kClosedQueueFree;
    return m_outBufSize - static_cast<int>(std::min<qint64>(m_serial->bytesToWrite(), m_outBufSize));
}

TModemLines TCommPortDriver::ModemLines() const
{
    TModemLines lines;
    if (!IsConnected())
        return lines;
    const QSerialPort::PinoutSignals p = m_serial->pinoutSignals();
    lines.cts = p.testFlag(QSerialPort::ClearToSendSignal);
    lines.dsr = p.testFlag(QSerialPort::DataSetReadySignal);
    lines.ring = p.testFlag(QSerialPort::RingIndicatorSignal);
    lines.carrier = p.testFlag(QSerialPort::DataCarrierDetectSignal);
    return lines;
}

int TCommPortDriver::SendData(const char* data, int size) { return SendDataWithin(data, size, m_outputTimeout); }

int TCommPortDriver::SendDataWithin(const char* data, int size, int timeoutMs)
{
    if (!IsConnected())
        return 0;
    int sent = 0;
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    while (sent < size && IsConnected()) {
        const int free = OutputQueueFree();
        if (m_checkLineStatus) {
            const TModemLines l = ModemLines();
            if (!(l.cts || l.dsr || l.ring || l.carrier))
                return sent;
        }
        qint64 written = 0;
        if (free > 0)
            written = m_serial->write(data + sent, std::min(size - sent, free));
        m_serial->flush();
        if (written > 0) {
            sent += static_cast<int>(written);
            sinceProgress.restart();
        } else if (sinceProgress.elapsed() > timeoutMs) {
            return sent;
        } else {
            m_serial->waitForBytesWritten(1);
        }
    }
    // Push what is queued on to the device before returning.
    QDeadlineTimer deadline(timeoutMs);
    while (IsConnected() && m_serial->bytesToWrite() > 0 && !deadline.hasExpired()) {
        if (!m_serial->waitForBytesWritten(static_cast<int>(std::max<qint64>(1, deadline.remainingTime()))))
            break;
    }
    return sent;
}

bool TCommPortDriver::SendByte(unsigned char value)
{
    const char c = static_cast<char>(value);
    return SendData(&c, 1) == 1;
}

// Whether the device has hung up: a pseudo-terminal whose other end closed
// reports it only this way, without an error of the port.
bool TCommPortDriver::hungUp() const
{
#ifdef Q_OS_WIN
    return false;
#else
    pollfd p{static_cast<int>(m_serial->handle()), POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#endif
}

void TCommPortDriver::poll()
{
    if (!IsConnected())
        return;
    const bool gone = hungUp();
    if (gone)
        m_serial->waitForReadyRead(0); // take in what arrived before the hang-up
    const qint64 waiting = m_serial->bytesAvailable();
    if (waiting > 0) {
        const qint64 n = m_serial->read(m_buffer.data(), std::min<qint64>(waiting, m_inBufSize));
        if (n > 0 && m_onReceiveData)
            m_onReceiveData(this, m_buffer.constData(), static_cast<int>(n));
        if (m_serial && m_serial->bytesAvailable() > 0)
            return; // the rest comes with the next polls
    }
    if (gone && IsConnected())
        portError();
}

} // namespace orx
