#pragma once

// TCommPortDriver: one serial port, opened by name, with the line settings,
// sending with a time-out and a poll of the input queue on a timer of the
// event loop that hands every batch to OnReceiveData.

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QSerialPort;
class QTimer;

namespace orx {

enum TPortNumber {
    pnCustom, pnCOM1, pnCOM2, pnCOM3, pnCOM4, pnCOM5, pnCOM6, pnCOM7, pnCOM8,
    pnCOM9, pnCOM10, pnCOM11, pnCOM12, pnCOM13, pnCOM14, pnCOM15, pnCOM16,
};
enum TBaudRate {
    brCustom, br110, br300, br600, br1200, br2400, br4800, br9600, br14400,
    br19200, br38400, br56000, br57600, br115200, br128000, br256000,
};
enum TDataBits { db5BITS, db6BITS, db7BITS, db8BITS };
enum TStopBits { sb1BITS, sb1HALFBITS, sb2BITS };
enum TParity { ptNONE, ptODD, ptEVEN, ptMARK, ptSPACE };
enum THwFlowControl { hfNONE, hfNONERTSON, hfRTSCTS };
enum TSwFlowControl { sfNONE, sfXONXOFF };

struct TModemLines
{
    bool cts = false;
    bool dsr = false;
    bool ring = false;
    bool carrier = false;
};

class TCommPortDriver;
// Sender, the receive buffer, the number of bytes in it (at least 1). The
// buffer is reused by the next poll.
using TReceiveDataEvent = std::function<void(TCommPortDriver*, const char*, int)>;

// The device path a port name stands for. "\\.\COMn" names COMn: on Windows
// as it stands; elsewhere the path in ORX_COMn, or /dev/ttyS(n-1).
QString systemPortPath(const QString& portName);
QString comPortName(int number);

namespace port {
constexpr int kMinBufSize = 128;
constexpr int kMaxBufSize = 8192;
constexpr int kDefaultBufSize = 2048;
constexpr int kMinPollingDelay = 5;
constexpr int kDefaultPollingDelay = 50;
constexpr int kDefaultOutputTimeout = 500;
constexpr int kDefaultInputTimeout = 200;
constexpr int kClosedQueueFree = 65535;
constexpr char kXon = 0x11;
constexpr char kXoff = 0x13;
} // namespace port

class TCommPortDriver : public QObject
{
public:
    explicit TCommPortDriver(QObject* parent = nullptr);
    ~TCommPortDriver() override;

    TPortNumber Port() const { return m_port; }
    void setPort(TPortNumber port);
    const QString& PortName() const { return m_portName; }
    void setPortName(const QString& name);
    TBaudRate BaudRate() const { return m_baudRate; }
    void setBaudRate(TBaudRate rate);
    int BaudRateValue() const { return m_baudRateValue; }
    void setBaudRateValue(int bitsPerSecond);
    TDataBits DataBits() const { return m_dataBits; }
    void setDataBits(TDataBits bits);
    TStopBits StopBits() const { return m_stopBits; }
    void setStopBits(TStopBits bits);
    TParity Parity() const { return m_parity; }
    void setParity(TParity parity);
    THwFlowControl HwFlow() const { return m_hwFlow; }
    void setHwFlow(THwFlowControl flow);
    TSwFlowControl SwFlow() const { return m_swFlow; }
    void setSwFlow(TSwFlowControl flow);
    int InBufSize() const { return m_inBufSize; }
    void setInBufSize(int size);
    int OutBufSize() const { return m_outBufSize; }
    void setOutBufSize(int size);
    int PacketSize() const { return m_packetSize; }
    void setPacketSize(int size) { m_packetSize = size <= 0 ? -1 : size; }
    int PollingDelay() const { return m_pollingDelay; }
    void setPollingDelay(int ms);
    bool EnableDTROnOpen() const { return m_enableDtrOnOpen; }
    void setEnableDTROnOpen(bool on) { m_enableDtrOnOpen = on; }
    int OutputTimeout() const { return m_outputTimeout; }
    void setOutputTimeout(int ms) { m_outputTimeout = ms; }
    int InputTimeout() const { return m_inputTimeout; }
    void setInputTimeout(int ms) { m_inputTimeout = ms; }
    bool CheckLineStatus() const { return m_checkLineStatus; }
    void setCheckLineStatus(bool on) { m_checkLineStatus = on; }
    void setOnReceiveData(TReceiveDataEvent handler) { m_onReceiveData = std::move(handler); }
    // Called when the open device goes away (unplugged, or its other end closed).
    void setOnDeviceLost(std::function<void()> handler) { m_onDeviceLost = std::move(handler); }

    bool Connect();
    void Disconnect();
    bool IsConnected() const;
    bool ApplyLineSettings();
    bool SendByte(unsigned char value);
    int SendData(const char* data, int size);
    int SendDataWithin(const char* data, int size, int timeoutMs);
    int OutputQueueFree() const;
    TModemLines ModemLines() const;
    bool PurgeQueues(bool input, bool output);

    // One poll of the input queue, as the timer does it.
    void poll();

private:
    void reapply();
    void portError();
    bool hungUp() const;

    TPortNumber m_port = pnCOM2;
    QString m_portName;
    TBaudRate m_baudRate = br9600;
    int m_baudRateValue = 9600;
    TDataBits m_dataBits = db8BITS;
    TStopBits m_stopBits = sb1BITS;
    TParity m_parity = ptNONE;
    THwFlowControl m_hwFlow = hfNONERTSON;
    TSwFlowControl m_swFlow = sfNONE;
    int m_inBufSize = port::kDefaultBufSize;
    int m_outBufSize = port::kDefaultBufSize;
    int m_packetSize = -1;
    int m_pollingDelay = port::kDefaultPollingDelay;
    bool m_enableDtrOnOpen = true;
    int m_outputTimeout = port::kDefaultOutputTimeout;
    int m_inputTimeout = port::kDefaultInputTimeout;
    bool m_checkLineStatus = false;
    TReceiveDataEvent m_onReceiveData;
    std::function<void()> m_onDeviceLost;

    std::unique_ptr<QSerialPort> m_serial;
    QTimer* m_pollTimer = nullptr;
    QByteArray m_buffer;
};

int baudRateBits(TBaudRate rate);

} // namespace orx
