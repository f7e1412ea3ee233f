// velari-sim: an emulated ВЕЛАРИ-5 on a pseudo-terminal, for tests, demos and
// training when no instrument is at hand.

#include "device/emulator/InstrumentEmulator.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <iterator>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

const char* const kHelp =
    "usage: velari-sim [options]\n"
    "Emulates a VELARI-5 temperature logger on a pseudo-terminal. The first line\n"
    "printed is the device path to use (for example as ORX_COM1).\n"
    "\n"
    "Archive:\n"
    "  --image FILE          serve this archive image (raw bytes) instead of a generated one\n"
    "  --operational N       generated archive: operational readings (default 120)\n"
    "  --observations K      generated archive: number of observations (default 3)\n"
    "  --records N           generated archive: readings per observation (default 60)\n"
    "  --seed S              generated archive: seed (default 1)\n"
    "  --extend N            keep the archive and add N newer readings to every block\n"
    "                        (what the instrument holds when it has logged on since)\n"
    "  --save-image FILE     write the archive being served to FILE\n"
    "Behaviour:\n"
    "  --type N              instrument type in the identification (default 5)\n"
    "  --version C.B.A       software version shown by the tool (default 15.03.07)\n"
    "  --busy N              answer the first N identification requests with 'Z'\n"
    "  --busy-forever        answer every identification request with 'Z'\n"
    "  --split               send the identification in two pieces, 60 ms apart\n"
    "  --ident-prefix TEXT   characters sent before the identification (a longer reply)\n"
    "  --noise TEXT          characters sent before 'S'\n"
    "  --silent              never answer\n"
    "  --pace                send at the real 9600 bit/s (960 characters a second)\n"
    "  --bad-pair            put one character pair outside the code into the archive\n"
    "  --odd                 drop the last character before 'P'\n"
    "  --hang-up-after N     close the line after N characters of the archive stream\n"
    "  --stall-after N       fall silent after N characters of the archive stream, the\n"
    "                        line kept open (no more replies to anything)\n"
    "  --trickle MS          send the archive stream one character every MS milliseconds\n"
    "  --once                exit once the archive has been sent\n"
    "Device:\n"
    "  --link PATH           make a symbolic link PATH to the device (replacing a link there)\n"
    "  --help                this text\n";

volatile std::sig_atomic_t g_stop = 0;
void onSignal(int) { g_stop = 1; }

bool readFile(const std::string& path, std::vector<std::uint8_t>& out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool parseVersion(const std::string& s, orx::emu::Behaviour& b)
{
    int c, bb, a;
    if (std::sscanf(s.c_str(), "%d.%d.%d", &c, &bb, &a) != 3)
        return false;
    b.versionC = static_cast<std::uint8_t>(c);
    b.versionB = static_cast<std::uint8_t>(bb);
    b.versionA = static_cast<std::uint8_t>(a);
    return true;
}

int fail(const std::string& why)
{
    std::cerr << "velari-sim: " << why << "\n";
    return 1;
}

struct Pending
{
    std::string bytes;
    Clock::time_point notBefore;
};

} // namespace

int main(int argc, char** argv)
{
    orx::emu::Behaviour behaviour;
    orx::emu::GeneratorOptions gen;
    std::string imagePath, savePath, linkPath;
    int extend = 0;
    bool pace = false, once = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](const char* name) -> std::string {
            if (i + 1 >= argc) {
                std::cerr << "velari-sim: " << name << " needs a value\n";
                std::exit(1);
            }
            return argv[++i];
        };
        if (a == "--help" || a == "-h") {
            std::cout << kHelp;
            return 0;
        } else if (a == "--image") {
            imagePath = value("--image");
        } else if (a == "--operational") {
            gen.operationalReadings = std::atoi(value("--operational").c_str());
        } else if (a == "--observations") {
            gen.observations = std::atoi(value("--observations").c_str());
        } else if (a == "--records") {
            gen.readingsPerObservation = std::atoi(value("--records").c_str());
        } else if (a == "--seed") {
            gen.seed = static_cast<unsigned>(std::atoi(value("--seed").c_str()));
        } else if (a == "--extend") {
            extend = std::atoi(value("--extend").c_str());
        } else if (a == "--save-image") {
            savePath = value("--save-image");
        } else if (a == "--type") {
            behaviour.type = static_cast<std::uint8_t>(std::atoi(value("--type").c_str()));
        } else if (a == "--version") {
            if (!parseVersion(value("--version"), behaviour))
                return fail("--version takes C.B.A, for example 15.03.07");
        } else if (a == "--busy") {
            behaviour.busyReplies = std::atoi(value("--busy").c_str());
        } else if (a == "--busy-forever") {
            behaviour.busyForever = true;
        } else if (a == "--split") {
            behaviour.splitIdentification = true;
        } else if (a == "--ident-prefix") {
            behaviour.identificationPrefix = value("--ident-prefix");
        } else if (a == "--noise") {
            behaviour.noiseBeforeStart = value("--noise");
        } else if (a == "--silent") {
            behaviour.silent = true;
        } else if (a == "--pace") {
            pace = true;
        } else if (a == "--bad-pair") {
            behaviour.badPair = true;
        } else if (a == "--odd") {
            behaviour.oddLength = true;
        } else if (a == "--hang-up-after") {
            behaviour.hangUpAfter = std::atol(value("--hang-up-after").c_str());
        } else if (a == "--stall-after") {
            behaviour.stallAfter = std::atol(value("--stall-after").c_str());
        } else if (a == "--trickle") {
            behaviour.archiveCharacterMs = std::atoi(value("--trickle").c_str());
        } else if (a == "--once") {
            once = true;
        } else if (a == "--link") {
            linkPath = value("--link");
        } else {
            return fail("unknown option " + a + " (see --help)");
        }
    }

    std::vector<std::uint8_t> archive;
    if (!imagePath.empty()) {
        if (!readFile(imagePath, archive))
            return fail("cannot read " + imagePath);
    } else {
        archive = orx::emu::generateArchive(gen);
    }
    if (extend > 0) {
        try {
            archive = orx::emu::extendArchive(archive, extend, gen.seed + 1);
        } catch (const std::exception& e) {
            return fail(std::string("cannot extend the archive: ") + e.what());
        }
    }
    if (!savePath.empty()) {
        std::ofstream out(savePath, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(archive.data()), static_cast<std::streamsize>(archive.size()));
        if (!out)
            return fail("cannot write " + savePath);
    }

    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        return fail(std::string("no pseudo-terminal: ") + std::strerror(errno));
    const std::string slavePath = ptsname(master);
    // Hold the device side open in raw mode, so that nothing is echoed before
    // the tool opens it and the line stays up between the tool's opens.
    const int slave = open(slavePath.c_str(), O_RDWR | O_NOCTTY);
    if (slave >= 0) {
        termios tio;
        if (tcgetattr(slave, &tio) == 0) {
            cfmakeraw(&tio);
            tcsetattr(slave, TCSANOW, &tio);
        }
    }
    if (!linkPath.empty()) {
        unlink(linkPath.c_str());
        if (symlink(slavePath.c_str(), linkPath.c_str()) != 0)
            return fail("cannot link " + linkPath + ": " + std::strerror(errno));
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGPIPE, SIG_IGN);
    std::cout << (linkPath.empty() ? slavePath : linkPath) << std::endl;

    orx::emu::InstrumentEmulator emulator(behaviour, archive);
    std::deque<Pending> out;
    const auto charTime = std::chrono::microseconds(1000000 / 960); // 10 bits at 9600 bit/s
    Clock::time_point lineFree = Clock::now();
    bool hangUp = false;
    int exitCode = 0;

    while (!g_stop) {
        const auto now = Clock::now();
        // Send what is due.
        while (!out.empty() && out.front().notBefore <= now) {
            Pending& p = out.front();
            std::size_t n = p.bytes.size();
            if (pace) {
                if (lineFree < p.notBefore)
                    lineFree = p.notBefore;
                const auto due = static_cast<std::size_t>((now - lineFree) / charTime) + 1;
                n = std::min(n, due);
            }
            const ssize_t w = write(master, p.bytes.data(), n);
            if (w < 0 && errno != EAGAIN && errno != EINTR) {
                g_stop = 1;
                break;
            }
            if (w <= 0)
                break;
            if (pace)
                lineFree += charTime * w;
            p.bytes.erase(0, static_cast<std::size_t>(w));
            if (!p.bytes.empty()) {
                if (pace)
                    p.notBefore = lineFree;
                break;
            }
            out.pop_front();
            if (out.empty() && hangUp) {
                g_stop = 1; // the device goes away mid-stream
                exitCode = 0;
            } else if (out.empty() && once && emulator.archivesSent() > 0) {
                usleep(200000); // let the tool read the last characters
                g_stop = 1;
            }
        }
        if (g_stop)
            break;
        int timeout = 100;
        if (!out.empty()) {
            const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(out.front().notBefore - Clock::now());
            timeout = static_cast<int>(std::max<long long>(1, std::min<long long>(wait.count(), 100)));
        }
        pollfd pfd{master, POLLIN, 0};
        const int r = poll(&pfd, 1, timeout);
        if (r > 0 && (pfd.revents & POLLIN)) {
            char buf[256];
            const ssize_t n = read(master, buf, sizeof buf);
            for (ssize_t i = 0; i < n; ++i) {
                Clock::time_point at = out.empty() ? Clock::now() : out.back().notBefore;
                for (orx::emu::Reply& reply : emulator.onByte(buf[i])) {
                    at += std::chrono::milliseconds(reply.delayMs);
                    out.push_back({std::move(reply.bytes), at});
                }
                if (buf[i] == 'N' && behaviour.hangUpAfter >= 0)
                    hangUp = true;
            }
        }
    }
    if (slave >= 0)
        close(slave);
    close(master);
    if (!linkPath.empty())
        unlink(linkPath.c_str());
    return exitCode;
}
