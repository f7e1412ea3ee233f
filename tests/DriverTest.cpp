// TCommPortDriver on a real pseudo-terminal and a real Qt event loop.

#include "device/CPDrv.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace orx;

namespace {

// The instrument's end of a pseudo-terminal; the driver opens the other.
class Pty
{
public:
    Pty()
    {
        char name[256];
        termios tio{};
        cfmakeraw(&tio);
        if (openpty(&m_master, &m_slave, name, &tio, nullptr) != 0)
            throw std::runtime_error("openpty");
        m_path = name;
    }
    ~Pty()
    {
        if (m_master >= 0)
            close(m_master);
        if (m_slave >= 0)
            close(m_slave);
    }
    const std::string& path() const { return m_path; }
    void write(const std::string& s) { (void)!::write(m_master, s.data(), s.size()); }
    std::string readAvailable()
    {
        std::string out;
        char buf[256];
        fcntl(m_master, F_SETFL, O_NONBLOCK);
        ssize_t n;
        while ((n = ::read(m_master, buf, sizeof buf)) > 0)
            out.append(buf, static_cast<std::size_t>(n));
        return out;
    }
    void hangUp()
    {
        close(m_slave);
        m_slave = -1;
        close(m_master);
        m_master = -1;
    }

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_path;
};

void spin(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

} // namespace

TEST(Driver, DefaultsAndClamping)
{
    TCommPortDriver d;
    EXPECT_EQ(d.PortName(), QString("\\\\.\\COM2"));
    EXPECT_EQ(d.Port(), pnCOM2);
    EXPECT_EQ(d.BaudRateValue(), 9600);
    EXPECT_EQ(d.InBufSize(), 2048);
    EXPECT_EQ(d.PollingDelay(), 50);
    EXPECT_EQ(d.OutputTimeout(), 500);
    EXPECT_EQ(d.HwFlow(), hfNONERTSON);
    d.setInBufSize(100);
    EXPECT_EQ(d.InBufSize(), 128);
    d.setInBufSize(10000);
    EXPECT_EQ(d.InBufSize(), 8192);
    d.setOutBufSize(1);
    EXPECT_EQ(d.OutBufSize(), 128);
    d.setPollingDelay(1);
    EXPECT_EQ(d.PollingDelay(), 5);
    d.setPacketSize(0);
    EXPECT_EQ(d.PacketSize(), -1);
    d.setPort(pnCOM7);
    EXPECT_EQ(d.PortName(), QString("\\\\.\\COM7"));
    d.setPortName("x");
    EXPECT_EQ(d.Port(), pnCustom);
    d.setBaudRate(br115200);
    EXPECT_EQ(d.BaudRateValue(), 115200);
    d.setBaudRateValue(250000);
    EXPECT_EQ(d.BaudRate(), brCustom);
    EXPECT_EQ(d.OutputQueueFree(), 65535);
}

TEST(Driver, PortNamesStandForDevicePaths)
{
    qputenv("ORX_COM1", "/dev/ttyUSB0");
    qunsetenv("ORX_COM2");
    EXPECT_EQ(systemPortPath("\\\\.\\COM1"), QString("/dev/ttyUSB0"));
    EXPECT_EQ(systemPortPath("\\\\.\\COM2"), QString("/dev/ttyS1"));
    EXPECT_EQ(systemPortPath("/dev/pts/3"), QString("/dev/pts/3"));
    qunsetenv("ORX_COM1");
    EXPECT_EQ(systemPortPath("\\\\.\\COM1"), QString("/dev/ttyS0"));
}

TEST(Driver, MissingPortNeitherSendsNorCalls)
{
    TCommPortDriver d;
    int calls = 0;
    d.setOnReceiveData([&](TCommPortDriver*, const char*, int) { ++calls; });
    d.setPortName("/nonexistent/port");
    EXPECT_FALSE(d.Connect());
    EXPECT_FALSE(d.IsConnected());
    EXPECT_FALSE(d.SendByte('V'));
    d.poll();
    spin(120);
    EXPECT_EQ(calls, 0);
}

TEST(Driver, SendsAndDeliversBatchesFromThePoll)
{
    Pty pty;
    TCommPortDriver d;
    d.setPortName(QString::fromStdString(pty.path()));
    d.setEnableDTROnOpen(false);
    std::string got;
    std::vector<int> sizes;
    d.setOnReceiveData([&](TCommPortDriver* sender, const char* data, int n) {
        EXPECT_EQ(sender, &d);
        got.append(data, static_cast<std::size_t>(n));
        sizes.push_back(n);
    });
    ASSERT_TRUE(d.Connect()); // a pseudo-terminal has no modem lines; that does not close it
    EXPECT_TRUE(d.IsConnected());
    EXPECT_TRUE(d.Connect());
    // A name change while open is ignored.
    d.setPortName("/dev/null");
    EXPECT_EQ(d.PortName().toStdString(), pty.path());
    d.setInBufSize(4096);
    EXPECT_EQ(d.InBufSize(), 2048);

    spin(120); // polls with nothing waiting call nothing
    EXPECT_TRUE(sizes.empty());

    EXPECT_TRUE(d.SendByte('V'));
    spin(20);
    EXPECT_EQ(pty.readAvailable(), "V");

    pty.write("hello");
    spin(150);
    EXPECT_EQ(got, "hello");
    for (int n : sizes)
        EXPECT_GT(n, 0);

    // At most InBufSize bytes a poll.
    d.Disconnect();
    d.setInBufSize(128);
    ASSERT_TRUE(d.Connect());
    got.clear();
    sizes.clear();
    pty.write(std::string(300, 'x'));
    spin(300);
    EXPECT_EQ(got, std::string(300, 'x'));
    for (int n : sizes)
        EXPECT_LE(n, 128);
    EXPECT_GE(sizes.size(), 3u);
}

TEST(Driver, DisconnectInsideTheCallbackStopsFurtherCallbacks)
{
    Pty pty;
    TCommPortDriver d;
    d.setPortName(QString::fromStdString(pty.path()));
    d.setInBufSize(128);
    int calls = 0;
    d.setOnReceiveData([&](TCommPortDriver* sender, const char*, int) {
        ++calls;
        sender->Disconnect();
    });
    ASSERT_TRUE(d.Connect());
    pty.write(std::string(1000, 'y'));
    spin(300);
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(d.IsConnected());
}

TEST(Driver, LostDeviceIsReported)
{
    auto pty = std::make_unique<Pty>();
    TCommPortDriver d;
    d.setPortName(QString::fromStdString(pty->path()));
    bool lost = false;
    d.setOnDeviceLost([&] { lost = true; });
    ASSERT_TRUE(d.Connect());
    pty->hangUp();
    spin(300);
    EXPECT_TRUE(lost);
    EXPECT_FALSE(d.IsConnected());
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
