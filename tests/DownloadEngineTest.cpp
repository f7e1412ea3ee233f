// The download exchange on a fake clock: every state, time-out and failure.

#include "archive/ArchiveBuilder.h"
#include "archive/ArchiveImage.h"
#include "device/DownloadEngine.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

using namespace orx;

namespace {

std::string pairs(const std::vector<std::uint8_t>& bytes)
{
    std::string s;
    for (std::uint8_t b : bytes) {
        s.push_back(static_cast<char>('0' + (b & 0x0F)));
        s.push_back(static_cast<char>('0' + (b >> 4)));
    }
    return s;
}

// The 14-character identification: type, version bytes A, B, C, six more.
std::string ident(std::uint8_t type, std::uint8_t a, std::uint8_t b, std::uint8_t c)
{
    return pairs({type, a, b, c}) + "xxxxxx";
}

class FakeIo : public DownloadIo
{
public:
    DownloadEngine* engine = nullptr;
    long now = 0;
    std::map<DownloadTimer, long> deadlines;
    std::vector<std::string> log;
    std::string port;
    bool open = false;
    std::string sent;
    std::string status, type, version, records;
    int progressMax = 100, progress = -1;
    std::vector<int> tabs;
    int finishedCount = 0;
    DownloadResult result{};
    DownloadFailure failure{};

    void connectPort(const std::string& name) override
    {
        port = name;
        open = true;
        log.push_back("connect " + name);
    }
    void disconnectPort() override
    {
        if (open)
            log.push_back("disconnect");
        open = false;
    }
    bool sendByte(std::uint8_t b) override
    {
        sent.push_back(static_cast<char>(b));
        log.push_back(std::string("send ") + static_cast<char>(b));
        return open;
    }
    void startTimer(DownloadTimer t, int ms) override { deadlines[t] = now + ms; }
    void stopTimer(DownloadTimer t) override { deadlines.erase(t); }
    void showStatus(DownloadStatus s) override
    {
        status = s == DownloadStatus::Receiving ? "receiving" : "waiting";
    }
    void showDeviceType(const std::string& s) override { type = s; }
    void showVersion(const std::string& s) override { version = s; }
    void showRecordCount(const std::string& s) override { records = s; }
    void setProgressMaximum(int m) override { progressMax = m; }
    void setProgress(int p) override { progress = p; }
    void makeTabVisible(int t) override { tabs.push_back(t); }
    void finished(DownloadResult r, DownloadFailure f) override
    {
        ++finishedCount;
        result = r;
        failure = f;
    }
    bool running(DownloadTimer t) const { return deadlines.count(t) != 0; }

    // Moves the clock on, firing timers as they fall due.
    void advance(long ms)
    {
        const long until = now + ms;
        for (;;) {
            auto next = deadlines.end();
            for (auto it = deadlines.begin(); it != deadlines.end(); ++it)
                if (it->second <= until && (next == deadlines.end() || it->second < next->second))
                    next = it;
            if (next == deadlines.end())
                break;
            now = next->second;
            const DownloadTimer t = next->first;
            deadlines.erase(next);
            engine->timerFired(t);
        }
        now = until;
    }
};

const std::vector<std::uint8_t> kArchive =
    ArchiveBuilder()
        .operational(std::vector<OperationalRecord>(12))
        .observation(ObservationBlock{0, 'A', 1, {}, std::nullopt})
        .observation(ObservationBlock{0, 'A', 2, std::vector<ObservationRecord>(35), std::nullopt})
        .build();

class Exchange : public ::testing::Test
{
protected:
    Exchange() : engine(io, image) { io.engine = &engine; }
    void SetUp() override
    {
        previous = {0xCE, 0, 0, 9};
        image.assign(previous);
    }
    void feed(const std::string& s) { engine.receive(s.data(), s.size()); }
    void identify() { feed(ident(5, 7, 3, 15)); }
    void identifyAndRequest()
    {
        engine.start();
        identify();
        io.advance(1000);
        ASSERT_EQ(io.sent.back(), 'N');
    }
    std::vector<std::uint8_t> imageBytes() const
    {
        return std::vector<std::uint8_t>(image.data(), image.data() + image.length());
    }
    void expectUnchangedImage() const { EXPECT_EQ(imageBytes(), previous); }

    FakeIo io;
    ArchiveImage image;
    DownloadEngine engine;
    std::vector<std::uint8_t> previous;
};

} // namespace

TEST(HexPair, LowNibbleFirst)
{
    EXPECT_EQ(HexPairValue('5', '0'), 5);
    EXPECT_EQ(HexPairValue('>', '<'), 0xCE);
    EXPECT_EQ(HexPairValue('?', '?'), 255);
    EXPECT_EQ(HexPairValue('0', '0'), 0);
    EXPECT_LT(HexPairValue('/', '0'), 0);
    EXPECT_GT(HexPairValue('0', '@'), 255);
}

TEST_F(Exchange, FoundOnFirstPort)
{
    engine.start();
    EXPECT_EQ(io.log, (std::vector<std::string>{"connect \\\\.\\COM1", "send V"}));
    EXPECT_TRUE(io.running(DownloadTimer::Identification));
    EXPECT_EQ(io.status, "waiting");
    identify();
    EXPECT_FALSE(io.running(DownloadTimer::Identification));
    EXPECT_TRUE(io.running(DownloadTimer::Request));
    EXPECT_EQ(io.type, "ВЕЛАРИ-5");
    EXPECT_EQ(io.version, "15.03.07");
    EXPECT_EQ(io.status, "receiving");
    io.advance(999);
    EXPECT_EQ(io.sent, "V");
    io.advance(1);
    EXPECT_EQ(io.sent, "VN");
    feed("S" + pairs(kArchive).substr(0, 100));
    EXPECT_EQ(io.finishedCount, 0);
    feed(pairs(kArchive).substr(100) + "P");
    ASSERT_EQ(io.finishedCount, 1);
    EXPECT_EQ(io.result, DownloadResult::Ok);
    EXPECT_FALSE(io.open);
    EXPECT_EQ(imageBytes(), kArchive);
    EXPECT_EQ(io.records, "12//0//35/");
    EXPECT_EQ(io.tabs, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(io.progressMax, static_cast<int>(1 + 2 * kArchive.size()));
    EXPECT_FALSE(engine.active());
}

TEST_F(Exchange, FoundOnSecondPortAfterTheFirstTimeOut)
{
    engine.start();
    io.advance(2999);
    EXPECT_EQ(io.port, "\\\\.\\COM1");
    io.advance(1);
    EXPECT_EQ(io.port, "\\\\.\\COM2");
    EXPECT_EQ(io.log, (std::vector<std::string>{"connect \\\\.\\COM1", "send V", "disconnect",
                                                "connect \\\\.\\COM2", "send V"}));
    identify();
    io.advance(1000);
    feed("S" + pairs(kArchive) + "P");
    EXPECT_EQ(io.result, DownloadResult::Ok);
    EXPECT_EQ(io.failure, DownloadFailure::None);
}

TEST_F(Exchange, NotFoundAfterBothPortsThenStartsOnTheFirstAgain)
{
    engine.start();
    io.advance(5999);
    EXPECT_EQ(io.finishedCount, 0);
    io.advance(1);
    ASSERT_EQ(io.finishedCount, 1);
    EXPECT_EQ(io.result, DownloadResult::Cancel);
    EXPECT_EQ(io.failure, DownloadFailure::NotFound);
    EXPECT_FALSE(io.open);
    EXPECT_TRUE(io.deadlines.empty());
    expectUnchangedImage();
    io.log.clear();
    engine.start();
    EXPECT_EQ(io.log.front(), "connect \\\\.\\COM1");
}

TEST_F(Exchange, WrongInstrumentType)
{
    struct Case
    {
        std::string tail;
        bool accepted;
    };
    const Case cases[] = {
        {ident(5, 1, 2, 3), true},
        {ident(6, 1, 2, 3), false},
        {"%1" + ident(5, 1, 2, 3).substr(2), false}, // value 5, but the second character is not '0'
        {ident(0x15, 1, 2, 3), false},
    };
    for (const Case& c : cases) {
        FakeIo fio;
        ArchiveImage img;
        DownloadEngine e(fio, img);
        fio.engine = &e;
        e.start();
        e.receive(c.tail.data(), c.tail.size());
        if (c.accepted) {
            EXPECT_EQ(fio.finishedCount, 0) << c.tail;
            EXPECT_TRUE(fio.running(DownloadTimer::Request));
        } else {
            EXPECT_EQ(fio.finishedCount, 1) << c.tail;
            EXPECT_EQ(fio.failure, DownloadFailure::WrongDevice);
            EXPECT_FALSE(fio.open);
            EXPECT_TRUE(fio.deadlines.empty());
        }
    }
}

TEST_F(Exchange, NotReadyRepliesSendVAgainAndStopTheTimeOut)
{
    engine.start();
    io.advance(2000);
    feed("Z");
    EXPECT_EQ(io.sent, "VV");
    EXPECT_FALSE(io.running(DownloadTimer::Identification));
    io.advance(10000); // no not-found after a 'Z'
    EXPECT_EQ(io.finishedCount, 0);
    feed("Z");
    EXPECT_EQ(io.sent, "VVV");
    identify();
    EXPECT_TRUE(io.running(DownloadTimer::Request));
    // A 'Z' while the request is pending sends 'V' again; the delay keeps running.
    io.advance(500);
    feed("Z");
    EXPECT_EQ(io.sent, "VVVV");
    EXPECT_TRUE(io.running(DownloadTimer::Request));
    io.advance(500);
    EXPECT_EQ(io.sent, "VVVVN");
    feed("S" + pairs(kArchive) + "P");
    EXPECT_EQ(io.result, DownloadResult::Ok);
}

TEST_F(Exchange, IdentificationInTwoBatchesAndLongReply)
{
    engine.start();
    const std::string id = ident(5, 7, 3, 15);
    feed(id.substr(0, 8));
    EXPECT_EQ(io.version, "");
    feed(id.substr(8));
    EXPECT_EQ(io.version, "15.03.07");

    FakeIo fio;
    ArchiveImage img;
    DownloadEngine e(fio, img);
    fio.engine = &e;
    e.start();
    const std::string longReply = "123456" + ident(5, 9, 10, 11); // 20 characters
    e.receive(longReply.data(), longReply.size());
    EXPECT_EQ(fio.version, "11.10.09");
}

TEST_F(Exchange, StartAndEndInOneBatchWithCharactersAround)
{
    identifyAndRequest();
    feed("noise" + std::string("S") + pairs(kArchive) + "P" + "trailing" + pairs({1, 2}));
    ASSERT_EQ(io.result, DownloadResult::Ok);
    EXPECT_EQ(imageBytes(), kArchive);
}

TEST_F(Exchange, CancelInEveryStateLeavesTheImage)
{
    // Waiting on the first port, on the second, after a 'Z', identified, receiving.
    const std::vector<std::function<void()>> setups = {
        [&] { engine.start(); },
        [&] { engine.start(); io.advance(3000); },
        [&] { engine.start(); feed("Z"); },
        [&] { engine.start(); identify(); },
        [&] { identifyAndRequest(); feed("S" + pairs(kArchive).substr(0, 50)); },
    };
    for (std::size_t i = 0; i < setups.size(); ++i) {
        io.finishedCount = 0;
        setups[i]();
        engine.cancel();
        EXPECT_EQ(io.finishedCount, 1) << i;
        EXPECT_EQ(io.result, DownloadResult::Cancel);
        EXPECT_EQ(io.failure, DownloadFailure::Cancelled);
        EXPECT_FALSE(io.open) << i;
        EXPECT_TRUE(io.deadlines.empty()) << i;
        expectUnchangedImage();
        // Nothing more happens after the end.
        feed("P");
        io.advance(10000);
        EXPECT_EQ(io.finishedCount, 1) << i;
    }
}

TEST_F(Exchange, StreamFaultsEndWithAClearFailure)
{
    struct Case
    {
        const char* name;
        std::string stream;
        DownloadFailure failure;
    };
    const Case cases[] = {
        {"bad pair", "S" + pairs({1, 2}) + "0@" + "P", DownloadFailure::BadPair},
        {"below the code", "S" + std::string("/0") + "P", DownloadFailure::BadPair},
        {"odd length", "S" + pairs({1, 2}) + "1" + "P", DownloadFailure::OddLength},
        {"no start", pairs({1, 2}) + "P", DownloadFailure::NoStart},
        {"start after end", pairs({1, 2}) + "PS", DownloadFailure::NoStart},
    };
    for (const Case& c : cases) {
        io.finishedCount = 0;
        identifyAndRequest();
        feed(c.stream);
        EXPECT_EQ(io.finishedCount, 1) << c.name;
        EXPECT_EQ(io.result, DownloadResult::Cancel) << c.name;
        EXPECT_EQ(io.failure, c.failure) << c.name;
        EXPECT_TRUE(isStreamFailure(io.failure));
        EXPECT_FALSE(io.open);
        expectUnchangedImage();
    }
}

TEST_F(Exchange, ReceiveBufferIsGuarded)
{
    identifyAndRequest();
    const std::string chunk(48, '0');
    std::size_t fed = 0;
    while (fed + chunk.size() <= wire::kReceiveBufferSize) {
        feed(chunk);
        fed += chunk.size();
    }
    EXPECT_EQ(io.finishedCount, 0);
    feed(chunk); // past 262144 characters
    EXPECT_EQ(io.finishedCount, 1);
    EXPECT_EQ(io.failure, DownloadFailure::Overflow);
    EXPECT_FALSE(io.open);
    expectUnchangedImage();
}

TEST_F(Exchange, LargestArchiveFillsTheBufferExactly)
{
    identifyAndRequest();
    std::vector<std::uint8_t> bytes(image::kMaxDownloadLength, 0x11);
    bytes[0] = 0xCE;
    bytes[1] = bytes[2] = 0;
    const std::string stream = "S" + pairs(bytes) + "P";
    ASSERT_EQ(stream.size(), wire::kReceiveBufferSize);
    for (std::size_t i = 0; i < stream.size(); i += 48)
        feed(stream.substr(i, 48));
    EXPECT_EQ(io.result, DownloadResult::Ok);
    EXPECT_EQ(image.length(), image::kMaxDownloadLength);
}

TEST_F(Exchange, BlockDisplayOnlyForAnOperationalArchive)
{
    struct Case
    {
        std::vector<std::uint8_t> bytes;
        const char* text;
        std::vector<int> tabs;
    };
    ArchiveBuilder many;
    for (int k = 1; k <= 12; ++k)
        many.observation(ObservationBlock{0, 'A', static_cast<std::uint8_t>(k), std::vector<ObservationRecord>(1), std::nullopt});
    const Case cases[] = {
        {{0xCE, 0, 0}, "3", {}},
        {{0x11, 1, 0, 0, 0, 0, 0}, "7", {}},
        // C = 0: the text starts from the byte count; headers past 10 show no tab.
        {many.build(), "183/1//1//1//1//1//1//1//1//1//1//1//1/", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
    };
    for (const Case& c : cases) {
        io.tabs.clear();
        identifyAndRequest();
        feed("S" + pairs(c.bytes) + "P");
        EXPECT_EQ(io.result, DownloadResult::Ok);
        EXPECT_EQ(io.records, c.text);
        EXPECT_EQ(io.tabs, c.tabs);
    }
}

TEST_F(Exchange, SecondExchangeSeesOnlyItsOwnCharacters)
{
    identifyAndRequest();
    feed("S" + pairs(kArchive) + "P");
    ASSERT_EQ(io.result, DownloadResult::Ok);
    const auto other = ArchiveBuilder().operational(std::vector<OperationalRecord>(2)).build();
    identifyAndRequest();
    feed("S" + pairs(other).substr(0, 10));
    EXPECT_EQ(io.finishedCount, 1);
    feed(pairs(other).substr(10) + "P");
    EXPECT_EQ(io.finishedCount, 2);
    EXPECT_EQ(imageBytes(), other);
}
