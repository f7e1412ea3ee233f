// orx-cli download / append / ports: the exchange with the instrument on the
// same engine and driver as the program's download dialog.

#include "archive/ArchiveImage.h"
#include "device/CPDrv.h"
#include "device/DownloadSession.h"
#include "device/DownloadTexts.h"
#include "storage/ArchiveTable.h"
#include "tools/orx-cli/Cli.h"
#include "tools/orx-cli/SilenceWatch.h"

#include <QCoreApplication>
#include <QSerialPortInfo>
#include <QSocketNotifier>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sys/socket.h>
#include <unistd.h>

namespace orx::cli {

namespace {

int g_signalPipe[2] = {-1, -1};

void onInterrupt(int)
{
    const char c = 'x';
    (void)!write(g_signalPipe[1], &c, 1);
}

constexpr int kDefaultSilenceMs = 10000;
constexpr double kMaxSilenceSeconds = 86400;
constexpr const char* kTextNoAnswer = "Прибор не отвечает";

struct DownloadArgs
{
    std::string file;
    std::string raw;
    int silenceMs = kDefaultSilenceMs;
};

// Seconds, whole or with a fraction; 0 turns the silence rule off.
bool parseSeconds(const std::string& text, int& ms)
{
    if (text.empty() || text[0] < '0' || text[0] > '9')
        return false;
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(seconds) || seconds > kMaxSilenceSeconds)
        return false;
    ms = static_cast<int>(std::lround(seconds * 1000));
    if (seconds > 0 && ms == 0)
        ms = 1;
    return true;
}

bool parseDownloadArgs(const Args& args, DownloadArgs& out, std::string& why)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--raw" && i + 1 < args.size()) {
            out.raw = args[++i];
        } else if (args[i] == "--timeout" && i + 1 < args.size()) {
            if (!parseSeconds(args[++i], out.silenceMs)) {
                why = "--timeout takes a number of seconds (0 for none)";
                return false;
            }
        } else if (!args[i].empty() && args[i][0] != '-' && out.file.empty()) {
            out.file = args[i];
        } else {
            why = "unexpected argument: " + args[i];
            return false;
        }
    }
    if (out.file.empty()) {
        why = "a table file is needed";
        return false;
    }
    return true;
}

int exitCodeFor(DownloadFailure f)
{
    switch (f) {
    case DownloadFailure::None:
        return kExitOk;
    case DownloadFailure::Cancelled:
        return kExitInterrupted;
    case DownloadFailure::NotFound:
        return kExitNotFound;
    case DownloadFailure::WrongDevice:
        return kExitWrongDevice;
    case DownloadFailure::DeviceLost:
        return kExitError;
    case DownloadFailure::BadPair:
    case DownloadFailure::NoStart:
    case DownloadFailure::OddLength:
    case DownloadFailure::Overflow:
        return kExitBadStream;
    }
    return kExitError;
}

struct Exchange
{
    DownloadFailure failure = DownloadFailure::None;
    std::string silence; // the report when the silence rule ended the exchange
};

// Runs one exchange on an event loop; Ctrl+C cancels it (the port is closed),
// and so does an instrument that answered but then falls silent or stays busy
// for the silence time.
Exchange runExchange(ArchiveImage& image, int silenceMs)
{
    int argc = 1;
    char name[] = "orx-cli";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);

    DownloadSession session(image);
    SilenceWatch watch(session, silenceMs);
    const bool terminal = isatty(STDERR_FILENO) != 0;
    DownloadFailure failure = DownloadFailure::None;

    if (socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        g_signalPipe[0] = g_signalPipe[1] = -1;
    QSocketNotifier interrupt(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&interrupt, &QSocketNotifier::activated, &app, [&] {
        char c;
        (void)!read(g_signalPipe[0], &c, 1);
        session.cancel();
    });
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);

    if (terminal) {
        QObject::connect(&session, &DownloadSession::statusChanged, &app, [](DownloadStatus s) {
            std::cerr << "\r" << downloadStatusText(s) << "\n";
        });
        QObject::connect(&session, &DownloadSession::versionChanged, &app, [](const QString& v) {
            if (!v.isEmpty())
                std::cerr << "Версия ПО: " << v.toStdString() << "\n";
        });
        QObject::connect(&session, &DownloadSession::receivedCountChanged, &app, [](qulonglong n) {
            std::cerr << "\rПринято символов: " << n << std::flush;
        });
    }
    QObject::connect(&session, &DownloadSession::exchangeFinished, &app,
                     [&](DownloadResult, DownloadFailure f) {
                         failure = f;
                         app.quit();
                     });
    session.start();
    app.exec();
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    if (terminal)
        std::cerr << "\n";
    close(g_signalPipe[0]);
    close(g_signalPipe[1]);
    Exchange result;
    result.failure = failure;
    if (watch.expired())
        result.silence = std::string(kTextNoAnswer) + ": " + watch.waitingFor();
    return result;
}

bool saveRaw(const std::string& path, const ArchiveImage& image)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.length()));
    return static_cast<bool>(out);
}

int reportFailure(DownloadFailure f)
{
    const std::string text = downloadFailureText(f);
    if (!text.empty())
        std::cerr << text << "\n";
    return exitCodeFor(f);
}

} // namespace

int runDownload(const Args& args, bool append)
{
    DownloadArgs a;
    std::string why;
    if (!parseDownloadArgs(args, a, why))
        return usage(why);

    ArchiveTable table;
    if (append && !openTable(table, a.file))
        return kExitDamaged;
    ArchiveImage image;
    const Exchange exchange = runExchange(image, a.silenceMs);
    if (!exchange.silence.empty()) {
        table.release(); // the table stays as it was
        std::cerr << exchange.silence << "\n";
        return kExitNoAnswer;
    }
    if (exchange.failure != DownloadFailure::None) {
        table.release();
        return reportFailure(exchange.failure);
    }
    if (!a.raw.empty() && !saveRaw(a.raw, image)) {
        std::cerr << "orx-cli: cannot write " << a.raw << "\n";
        table.release();
        return kExitError;
    }
    return storeArchive(table, a.file, image, append);
}

int runPorts(const Args& args)
{
    if (!args.empty())
        return usage("ports takes no arguments");
    int argc = 1;
    char name[] = "orx-cli";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    for (int n = 1; n <= 2; ++n) {
        const QString com = comPortName(n);
        std::cout << com.toStdString() << " -> " << systemPortPath(com).toStdString()
                  << (qEnvironmentVariableIsSet(("ORX_COM" + std::to_string(n)).c_str()) ? " (ORX_COM" + std::to_string(n) + ")" : std::string())
                  << "\n";
    }
    const auto ports = QSerialPortInfo::availablePorts();
    if (ports.isEmpty())
        std::cout << "no serial ports found\n";
    bool denied = false;
    for (const QSerialPortInfo& p : ports) {
        const std::string path = p.systemLocation().toStdString();
        std::cout << path;
        if (!p.description().isEmpty())
            std::cout << "  " << p.description().toStdString();
        if (!p.manufacturer().isEmpty())
            std::cout << " (" << p.manufacturer().toStdString() << ")";
        if (p.hasVendorIdentifier() && p.hasProductIdentifier()) {
            char ids[16];
            std::snprintf(ids, sizeof ids, "%04x:%04x", p.vendorIdentifier(), p.productIdentifier());
            std::cout << "  usb " << ids;
        }
        const bool ok = access(path.c_str(), R_OK | W_OK) == 0;
        denied = denied || !ok;
        std::cout << (ok ? "  can be opened" : "  no access") << "\n";
    }
    if (denied)
        std::cout << "hint: to open serial ports the user must be in the dialout group:\n"
                     "  sudo usermod -aG dialout $USER   (then log in again)\n";
    return kExitOk;
}

} // namespace orx::cli
