// Downloads over real pseudo-terminals: velari-sim on one end, orx-cli on the
// other, and the table files they leave.

#include "archive/ArchiveImage.h"
#include "archive/Cp1251.h"
#include "archive/TextFormats.h"
#include "device/emulator/InstrumentEmulator.h"
#include "storage/ArchiveTable.h"
#include "tests/SimProcess.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace orx;
using namespace orx::test;

namespace {

const std::string kCli = ORX_CLI_PATH;

std::vector<std::uint8_t> bytesOf(const std::string& s)
{
    return std::vector<std::uint8_t>(s.begin(), s.end());
}

// The dump lines a table decoded from this archive must show, found by a
// walk of our own over the instrument's layout (ascending slots).
struct Expected
{
    std::vector<std::string> tab[21];
};

std::string csvTemperature(const std::string& t)
{
    return t.find(',') == std::string::npos ? t : "\"" + t + "\"";
}

Expected expectedRows(const std::vector<std::uint8_t>& a)
{
    Expected e;
    auto word = [&](std::size_t i) { return static_cast<unsigned>(a[i] | a[i + 1] << 8); };
    auto temp = [&](std::size_t i) {
        const unsigned w = word(i);
        return w < 0x8000 ? w / 10.0 : -(65536.0 - w + 5) / 10.0;
    };
    const unsigned c = word(1);
    std::size_t pos = 3;
    for (unsigned i = 0; i < c; ++i, pos += 10) {
        const std::uint8_t* r = &a[pos];
        e.tab[0].push_back(std::to_string(i + 1) + "," +
                           cp1251ToUtf8(std::string(1, static_cast<char>(r[0]))) + "," +
                           std::to_string(r[1]) + "," + FormatArchiveDate(r[2], r[3], r[4]) + "," +
                           FormatArchiveTime(r[5], r[6], r[7]) + "," +
                           csvTemperature(formatOperationalTemperature(temp(pos + 8))));
    }
    while (pos + 5 <= a.size()) {
        const int slot = a[pos + 2];
        const std::string type =
            cp1251ToUtf8(std::string(1, static_cast<char>(a[pos + 1]))) + std::to_string(slot);
        const unsigned n = word(pos + 3);
        pos += 5;
        for (unsigned i = 0; i < n; ++i, pos += 10) {
            const std::uint8_t* r = &a[pos];
            e.tab[slot].push_back(
                std::to_string(i + 1) + "," + FormatArchiveDate(r[3], r[4], r[5]) + "," +
                FormatArchiveShortTime(r[6], r[7]) + "," + std::to_string(r[0]) + "," +
                std::to_string(r[2]) + "," +
                csvTemperature(formatObservationTemperature(temp(pos + 8))) + "," + type);
        }
    }
    return e;
}

std::vector<std::string> dumpLines(const std::string& file, int tab)
{
    CommandResult r =
        runCommand(kCli + " dump " + shellQuote(file) + " --tab " + std::to_string(tab));
    std::vector<std::string> lines;
    std::string cur;
    for (char ch : r.out) {
        if (ch == '\n') {
            if (!cur.empty() && cur.back() == '\r')
                cur.pop_back();
            lines.push_back(cur);
            cur.clear();
        } else {
            cur += ch;
        }
    }
    if (!lines.empty())
        lines.erase(lines.begin()); // the column names
    return lines;
}

struct Timed
{
    CommandResult result;
    double seconds;
};

Timed cliWith(const std::string& com1, const std::string& com2, const std::string& args)
{
    const auto t0 = std::chrono::steady_clock::now();
    CommandResult r = runCommand("ORX_COM1=" + shellQuote(com1) + " ORX_COM2=" + shellQuote(com2) +
                                 " " + kCli + " " + args);
    const auto t1 = std::chrono::steady_clock::now();
    return {r, std::chrono::duration<double>(t1 - t0).count()};
}

class Download : public ::testing::Test
{
protected:
    TempDir tmp;
    std::string table = tmp.path("t.db");
    std::string none = tmp.path("no-such-port");
};

} // namespace

TEST_F(Download, DownloadThenAppendMatchTheArchiveRowByRow)
{
    const std::string first = tmp.path("first.bin"), second = tmp.path("second.bin");
    {
        SimProcess sim({"--operational", "120", "--observations", "4", "--records", "50",
                        "--save-image", first});
        Timed t =
            cliWith(sim.device(), none,
                    "download " + shellQuote(table) + " --raw " + shellQuote(tmp.path("raw.bin")));
        ASSERT_EQ(t.result.status, 0) << t.result.err;
        EXPECT_EQ(readFile(tmp.path("raw.bin")), readFile(first));
    }
    const Expected before = expectedRows(bytesOf(readFile(first)));
    for (int tab = 0; tab < 21; ++tab)
        EXPECT_EQ(dumpLines(table, tab), before.tab[tab]) << "tab " << tab;

    // The instrument has logged on: the same archive plus 30 newer readings per block.
    {
        SimProcess sim({"--image", first, "--extend", "30", "--save-image", second});
        Timed t = cliWith(sim.device(), none, "append " + shellQuote(table));
        ASSERT_EQ(t.result.status, 0) << t.result.err;
    }
    const Expected after = expectedRows(bytesOf(readFile(second)));
    ASSERT_EQ(after.tab[0].size(), 150u);
    EXPECT_EQ(dumpLines(table, 0), after.tab[0]); // 121..150 numbered on from the stored ones
    for (int tab = 1; tab < 21; ++tab)
        EXPECT_EQ(dumpLines(table, tab), after.tab[tab]) << "tab " << tab;
}

TEST_F(Download, InstrumentOnTheSecondPortIsFoundAfterAboutThreeSeconds)
{
    SimProcess sim({"--split", "--busy", "1", "--noise", "garbage"});
    Timed t = cliWith(none, sim.device(), "download " + shellQuote(table));
    ASSERT_EQ(t.result.status, 0) << t.result.err;
    EXPECT_GE(t.seconds, 3.9); // 3 s on the first port, the 1 s request delay
    EXPECT_LT(t.seconds, 6.0);
    EXPECT_EQ(dumpLines(table, 0).size(), 120u);
}

TEST_F(Download, NoInstrumentIsReportedAfterAboutSixSeconds)
{
    SimProcess silent({"--silent"});
    Timed t = cliWith(silent.device(), none, "download " + shellQuote(table));
    EXPECT_EQ(t.result.status, 2);
    EXPECT_EQ(t.result.err,
              "Прибор не обнаружен! Проверте правильность подключения согласно инструкции!\n");
    EXPECT_GE(t.seconds, 5.9);
    EXPECT_LT(t.seconds, 8.0);
    EXPECT_EQ(fileSize(table), 0u);
}

TEST_F(Download, FailuresLeaveAnExistingTableUntouched)
{
    {
        SimProcess sim({});
        ASSERT_EQ(cliWith(sim.device(), none, "download " + shellQuote(table)).result.status, 0);
    }
    const std::string before = readFile(table);
    struct Case
    {
        std::vector<std::string> options;
        std::string command;
        int status;
    };
    const Case cases[] = {
        {{"--bad-pair"}, "download", 6},
        {{"--odd"}, "append", 6},
        {{"--type", "6"}, "download", 5},
        {{"--type", "6"}, "append", 5},
    };
    for (const Case& c : cases) {
        SimProcess sim(c.options);
        Timed t = cliWith(sim.device(), none, c.command + " " + shellQuote(table));
        EXPECT_EQ(t.result.status, c.status) << c.options[0] << " " << c.command;
        EXPECT_FALSE(t.result.err.empty());
        EXPECT_EQ(readFile(table), before) << c.options[0] << " " << c.command;
    }
    // Appending to a file that is no table: nothing is downloaded.
    writeFile(tmp.path("junk.db"), "junk");
    SimProcess sim({});
    Timed t = cliWith(sim.device(), none, "append " + shellQuote(tmp.path("junk.db")));
    EXPECT_EQ(t.result.status, 3);
    EXPECT_EQ(t.result.err, "База данных повреждена !\norx-cli: " + tmp.path("junk.db") +
                                ": not a dBase table (too short)\n");
}

TEST_F(Download, InstrumentVanishingMidwayEndsWithAMessageAndLeavesTheTable)
{
    {
        SimProcess sim({});
        ASSERT_EQ(cliWith(sim.device(), none, "download " + shellQuote(table)).result.status, 0);
    }
    const std::string before = readFile(table);
    for (const char* command : {"append", "download"}) {
        // The line goes dead 600 characters into the archive (about 0.6 s of it).
        SimProcess sim({"--pace", "--operational", "2000", "--hang-up-after", "600"});
        Timed t = cliWith(sim.device(), none, std::string(command) + " " + shellQuote(table));
        EXPECT_EQ(t.result.status, 1) << command;
        EXPECT_EQ(t.result.err, "Связь с прибором потеряна: порт закрыт или отключен\n") << command;
        // The request goes out a second after the identification; then 0.6 s of
        // archive: the hang-up comes about 1.6 s in, and its report within a few
        // seconds of it (slow sanitizer builds included), not at some time-out.
        EXPECT_LT(t.seconds, 6.0) << command;
        EXPECT_EQ(readFile(table), before) << command;
    }
}

TEST_F(Download, InstrumentThatStopsMakingProgressIsEndedAfterTheSilenceTime)
{
    {
        SimProcess sim({});
        ASSERT_EQ(cliWith(sim.device(), none, "download " + shellQuote(table)).result.status, 0);
    }
    const std::string before = readFile(table);
    const std::string raw = tmp.path("raw.bin");
    const std::string midArchive = "ожидалось продолжение архива (принято символов: 600)";
    const std::string busy = "ожидалась готовность прибора (он отвечает 'Z' - занят)";
    struct Case
    {
        std::vector<std::string> options;
        std::string command;
        std::string timeout; // empty: the default of 10 s
        double silence;
        double stallAt; // seconds into the exchange: after the request, a second in
        std::string waitingFor;
    };
    const Case cases[] = {
        {{"--stall-after", "600"}, "download", "", 10, 1, midArchive},
        {{"--stall-after", "600"}, "append", "--timeout 3", 3, 1, midArchive},
        {{"--stall-after", "0"}, "append", "--timeout 2", 2, 1, "ожидалось начало архива ('S')"},
        {{"--busy-forever"}, "download", "--timeout 3", 3, 0, busy},
    };
    for (const Case& c : cases) {
        const std::string what = c.options[0] + " " + c.command + " " + c.timeout;
        SimProcess sim(c.options);
        Timed t = cliWith(sim.device(), none,
                          c.command + " " + shellQuote(table) + " --raw " + shellQuote(raw) + " " +
                              c.timeout);
        EXPECT_EQ(t.result.status, 7) << what;
        EXPECT_EQ(t.result.err, "Прибор не отвечает: " + c.waitingFor + "\n") << what;
        EXPECT_LT(t.seconds, c.stallAt + c.silence + 2.0) << what;
        EXPECT_EQ(readFile(table), before) << what;
        EXPECT_EQ(access(raw.c_str(), F_OK), -1) << what << ": no archive image was kept";
    }
}

TEST_F(Download, SlowButSteadyStreamIsNotCut)
{
    // One reading: 28 characters of archive stream, one every 300 ms, about
    // 8 s in all against a silence time of 2 s.
    const std::string img = tmp.path("a.bin");
    SimProcess sim(
        {"--operational", "1", "--observations", "0", "--trickle", "300", "--save-image", img});
    Timed t = cliWith(sim.device(), none, "download " + shellQuote(table) + " --timeout 2");
    ASSERT_EQ(t.result.status, 0) << t.result.err;
    EXPECT_EQ(t.result.err, "");
    const Expected e = expectedRows(bytesOf(readFile(img)));
    ASSERT_EQ(e.tab[0].size(), 1u);
    EXPECT_EQ(dumpLines(table, 0), e.tab[0]);
}

TEST_F(Download, TimeoutTakesSecondsOrZero)
{
    for (const char* bad : {"--timeout", "--timeout x", "--timeout -1", "--timeout 1e9",
                            "--timeout 2s", "--timeout nan"}) {
        Timed t = cliWith(none, none, "download " + shellQuote(table) + " " + bad);
        EXPECT_EQ(t.result.status, 1) << bad;
        EXPECT_NE(t.result.err.find("usage"), std::string::npos) << bad;
    }
    // 0 and fractions are taken; half a second does not cut the second the
    // archive request waits after the identification.
    SimProcess sim({});
    for (const char* good : {"--timeout 0", "--timeout 0.5"}) {
        Timed t = cliWith(sim.device(), none, "download " + shellQuote(table) + " " + good);
        EXPECT_EQ(t.result.status, 0) << good << ": " << t.result.err;
    }
}

TEST_F(Download, TableHeldByAnotherProcessIsRefusedAndLeftAlone)
{
    const std::string img = tmp.path("a.bin");
    {
        SimProcess sim({"--operational", "50", "--save-image", img});
        ASSERT_EQ(cliWith(sim.device(), none, "download " + shellQuote(table)).result.status, 0);
    }
    const std::string before = readFile(table);
    TableHolder holder(table);
    ASSERT_TRUE(holder.holding());
    SimProcess sim({});
    for (const std::string& args :
         {"decode " + shellQuote(img) + " " + shellQuote(table) + " --append",
          "append " + shellQuote(table), "dump " + shellQuote(table)}) {
        Timed t = cliWith(sim.device(), none, args);
        EXPECT_EQ(t.result.status, 3) << args;
        EXPECT_EQ(t.result.err,
                  "База данных повреждена !\norx-cli: " + table + ": held open by another program\n")
            << args;
        EXPECT_EQ(t.result.out, "") << args;
        EXPECT_EQ(readFile(table), before) << args;
    }
    // Nor is it replaced by a new one.
    Timed t = cliWith(sim.device(), none, "decode " + shellQuote(img) + " " + shellQuote(table));
    EXPECT_NE(t.result.status, 0);
    EXPECT_EQ(readFile(table), before);
}

TEST_F(Download, InterruptClosesThePortAndLeavesTheTable)
{
    {
        SimProcess sim({});
        ASSERT_EQ(cliWith(sim.device(), none, "download " + shellQuote(table)).result.status, 0);
    }
    const std::string before = readFile(table);
    SimProcess sim({"--pace", "--operational", "2000"});
    pid_t pid = fork();
    if (pid == 0) {
        setenv("ORX_COM1", sim.device().c_str(), 1);
        setenv("ORX_COM2", none.c_str(), 1);
        execl(kCli.c_str(), kCli.c_str(), "append", table.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    usleep(2000 * 1000); // identified, archive on its way
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_EQ(readFile(table), before);
    // The port was closed: another download can open it at once.
    sim.stop();
}

TEST_F(Download, EmptyArchive)
{
    writeFile(tmp.path("empty.bin"), std::string("\xCE\0\0", 3));
    SimProcess sim({"--image", tmp.path("empty.bin")});
    Timed t = cliWith(sim.device(), none, "download " + shellQuote(table));
    EXPECT_EQ(t.result.status, 4);
    EXPECT_EQ(t.result.err, "Архив прибора пуст!\n");
    EXPECT_EQ(fileSize(table), 4130u);
}
