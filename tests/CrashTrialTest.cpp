// Crash trials: orx-cli decodes a large archive into a new table, or appends
// one to a stored table, and is killed with SIGKILL at a random moment. After
// every kill the table must open, hold exactly the first rows the run would
// have written, with no torn row after them, and take the rest of the archive
// when the append is run again.
//
// ORX_CRASH_TRIALS sets the number of kills of each run (default 100);
// ORX_CRASH_SEED repeats a series.

#include "archive/ArchiveBuilder.h"
#include "storage/ArchiveTable.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

using namespace orx;
using namespace orx::test;
using Clock = std::chrono::steady_clock;

namespace {

const std::string kCli = ORX_CLI_PATH;
constexpr std::size_t kHeader = kTableHeaderLength;
constexpr std::size_t kRow = kRecordLength;

int envNumber(const char* name, int fallback)
{
    const char* v = std::getenv(name);
    return v && *v ? std::atoi(v) : fallback;
}

// Readings one minute apart from 1 January 2024, so that each block's
// readings are strictly later one after another and an append resumes exactly
// after the last stored one.
OperationalRecord opAt(int minute)
{
    OperationalRecord r;
    r.module = static_cast<std::uint8_t>('A' + minute % 3);
    r.sensor = static_cast<std::uint8_t>(1 + minute % 8);
    r.month = static_cast<std::uint8_t>(1 + minute / (28 * 24 * 60));
    r.day = static_cast<std::uint8_t>(1 + minute / (24 * 60) % 28);
    r.hour = static_cast<std::uint8_t>(minute / 60 % 24);
    r.minute = static_cast<std::uint8_t>(minute % 60);
    r.second = static_cast<std::uint8_t>(minute % 47);
    r.temperature = temperatureWord(minute % 700 - 200);
    return r;
}

ObservationRecord obsAt(int minute)
{
    ObservationRecord r;
    r.month = static_cast<std::uint8_t>(1 + minute / (28 * 24 * 60));
    r.day = static_cast<std::uint8_t>(1 + minute / (24 * 60) % 28);
    r.hour = static_cast<std::uint8_t>(minute / 60 % 24);
    r.minute = static_cast<std::uint8_t>(minute % 60);
    r.temperature = temperatureWord(minute % 500 - 100);
    return r;
}

// An archive of `operational` readings and four observations of `perObservation`.
std::vector<std::uint8_t> archive(int operational, int perObservation)
{
    std::vector<OperationalRecord> ops;
    for (int i = 0; i < operational; ++i)
        ops.push_back(opAt(i));
    ArchiveBuilder b;
    b.operational(ops);
    for (std::uint8_t k = 1; k <= 4; ++k) {
        ObservationBlock block;
        block.slot = k;
        for (int i = 0; i < perObservation; ++i)
            block.records.push_back(obsAt(i * 5 + k));
        b.observation(block);
    }
    return b.build();
}

pid_t spawnCli(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    std::string program = kCli;
    argv.push_back(program.data());
    std::vector<std::string> copy = args;
    for (auto& a : copy)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, kCli.c_str(), &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

bool exists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

bool hasExited(pid_t pid, int& status)
{
    return ::waitpid(pid, &status, WNOHANG) == pid;
}

struct ChildRun
{
    std::vector<std::string> args;
    std::string table;
    std::string before;    // the table's bytes before the run; empty: no table yet
    std::string reference; // the table after an undisturbed run
};

std::uint32_t headerCount(const std::string& bytes)
{
    std::uint32_t n = 0;
    for (int i = 3; i >= 0; --i)
        n = n << 8 | static_cast<unsigned char>(bytes[dbf::kOffRecordCount + i]);
    return n;
}

void prepare(const ChildRun& run)
{
    std::remove(run.table.c_str());
    if (!run.before.empty())
        writeFile(run.table, run.before);
}

// The moment the run starts writing rows: for a new table, once the table is
// there under its name; for an append, at the start.
Clock::time_point waitForTable(const ChildRun& run, pid_t pid)
{
    int status = 0;
    while (!exists(run.table) && !hasExited(pid, status))
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    return Clock::now();
}

// How long an undisturbed run takes to write its rows (the final flush to
// disk after them is left out), measured on one run.
std::chrono::microseconds writingTime(const ChildRun& run)
{
    prepare(run);
    const pid_t pid = spawnCli(run.args);
    const Clock::time_point from = waitForTable(run, pid);
    const std::uint64_t allRows = kHeader + (run.reference.size() - kHeader) / kRow * kRow;
    int status = 0;
    bool exited = false;
    while (fileSize(run.table) < allRows && !(exited = hasExited(pid, status)))
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    const Clock::time_point written = Clock::now();
    if (!exited)
        ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(readFile(run.table).substr(kHeader), run.reference.substr(kHeader));
    return std::chrono::duration_cast<std::chrono::microseconds>(written - from);
}

struct Tally
{
    int untouched = 0, partial = 0, complete = 0, torn = 0;
};

// One kill and what must hold after it. Returns false once a check failed.
bool trial(const ChildRun& run, std::chrono::microseconds delay, Tally& tally,
           const std::string& what)
{
    SCOPED_TRACE(what);
    prepare(run);
    const pid_t pid = spawnCli(run.args);
    if (pid < 0) {
        ADD_FAILURE() << "cannot start orx-cli";
        return false;
    }
    const Clock::time_point from = waitForTable(run, pid);
    std::this_thread::sleep_until(from + delay);
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);

    const std::size_t firstRow = run.before.empty() ? 0 : headerCount(run.before);
    const std::size_t allRows = headerCount(run.reference);
    std::size_t rows = 0;
    {
        ArchiveTable t;
        try {
            t.open(run.table);
        } catch (const StorageError& e) {
            ADD_FAILURE() << "the table does not open: " << e.what();
            return false;
        }
        rows = t.recordCount();
        EXPECT_EQ(t.countVisible(), rows);
        t.release();
    }
    const std::string after = readFile(run.table);
    // Exactly the first rows of the undisturbed run, and the header counts
    // them. A kill inside a record write may leave part of that record behind
    // the last whole row: opening the table puts the end-of-file byte over it,
    // and it is neither a row nor counted (the next append writes over it).
    EXPECT_GE(rows, firstRow);
    EXPECT_LE(rows, allRows);
    EXPECT_EQ(headerCount(after), rows);
    const bool prefix =
        after.size() >= kHeader + rows * kRow &&
        after.compare(kHeader, rows * kRow, run.reference, kHeader, rows * kRow) == 0;
    EXPECT_TRUE(prefix) << rows << " rows";
    const std::size_t tail = after.size() - std::min(after.size(), kHeader + rows * kRow);
    EXPECT_LT(tail, kRow);
    if (tail > 0) {
        EXPECT_EQ(after[kHeader + rows * kRow], static_cast<char>(dbf::kEndOfFile));
    }
    if (tail > 1)
        ++tally.torn;
    if (rows == firstRow)
        ++tally.untouched;
    else if (rows == allRows)
        ++tally.complete;
    else
        ++tally.partial;

    // The rest of the archive goes in on top.
    CommandResult r = runCommand(shellQuote(kCli) + " decode " + shellQuote(run.args[1]) + " " +
                                 shellQuote(run.table) + " --append");
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string resumed = readFile(run.table);
    EXPECT_EQ(headerCount(resumed), allRows);
    EXPECT_TRUE(resumed.size() == run.reference.size() &&
                resumed.compare(kHeader, std::string::npos, run.reference, kHeader) == 0)
        << "the append after the kill does not complete the table";
    return !::testing::Test::HasFailure();
}

class CrashTrials : public ::testing::Test
{
protected:
    void SetUp() override
    {
        imageFull = tmp.path("full.bin");
        imageOlder = tmp.path("older.bin");
        const auto full = archive(3000, 500);
        const auto older = archive(1000, 150);
        writeFile(imageFull, std::string(full.begin(), full.end()));
        writeFile(imageOlder, std::string(older.begin(), older.end()));
    }

    std::string decoded(const std::string& image, const std::string& onto = std::string())
    {
        const std::string f = tmp.path("reference.db");
        std::remove(f.c_str());
        if (!onto.empty())
            writeFile(f, onto);
        CommandResult r = runCommand(shellQuote(kCli) + " decode " + shellQuote(image) + " " +
                                     shellQuote(f) + (onto.empty() ? "" : " --append"));
        EXPECT_EQ(r.status, 0) << r.err;
        return readFile(f);
    }

    void runTrials(const ChildRun& run, const char* name)
    {
        const std::chrono::microseconds window = writingTime(run);
        const int trials = envNumber("ORX_CRASH_TRIALS", 100);
        const unsigned seed = static_cast<unsigned>(
            envNumber("ORX_CRASH_SEED", static_cast<int>(std::random_device()())));
        std::mt19937 random(seed);
        // Kills spread over the writing of the rows and a little past it.
        std::uniform_int_distribution<long long> when(0, window.count() * 11 / 10);
        Tally tally;
        for (int i = 0; i < trials; ++i) {
            const std::chrono::microseconds delay(when(random));
            if (!trial(run, delay, tally,
                       std::string(name) + " trial " + std::to_string(i) + ", kill after " +
                           std::to_string(delay.count()) + " us, seed " + std::to_string(seed)))
                break;
        }
        std::printf(
            "%s: %d kills over %lld us of writing rows (seed %u): %d before any row, %d partway, "
            "%d after the last row; %d left part of a record behind\n",
            name, trials, static_cast<long long>(window.count()), seed, tally.untouched,
            tally.partial, tally.complete, tally.torn);
    }

    TempDir tmp;
    std::string imageFull, imageOlder;
};

} // namespace

TEST_F(CrashTrials, KilledWhileDecodingIntoANewTable)
{
    ChildRun run;
    run.table = tmp.path("t.db");
    run.args = {"decode", imageFull, run.table};
    run.reference = decoded(imageFull);
    ASSERT_EQ(headerCount(run.reference), 3000u + 4 * 500);
    runTrials(run, "new table");
}

TEST_F(CrashTrials, KilledWhileAppending)
{
    ChildRun run;
    run.table = tmp.path("t.db");
    run.args = {"decode", imageFull, run.table, "--append"};
    run.before = decoded(imageOlder);
    run.reference = decoded(imageFull, run.before);
    ASSERT_EQ(headerCount(run.before), 1000u + 4 * 150);
    ASSERT_EQ(headerCount(run.reference), 3000u + 4 * 500);
    runTrials(run, "append");
}
