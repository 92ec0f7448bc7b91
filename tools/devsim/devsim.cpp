// quillet-devsim: a simulated controller on a pseudo-terminal. Prints the path to open
// as its first line and runs until interrupted.

#include "DeviceSim.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <array>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/socket.h>
#include <sys/stat.h>
#include <type_traits>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}

// Ends the event loop on SIGINT or SIGTERM, from the loop rather than the handler.
bool quitOnSignals(QCoreApplication& app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
        return false;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    struct sigaction action
    {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    return ::sigaction(SIGINT, &action, nullptr) == 0 &&
           ::sigaction(SIGTERM, &action, nullptr) == 0;
}

[[noreturn]] void fail(const QString& message)
{
    std::fprintf(stderr, "quillet-devsim: %s\n", qPrintable(message));
    std::exit(2);
}

template <typename Number>
Number number(const QCommandLineParser& parser, const QString& name, Number low, Number high)
{
    bool ok = false;
    const QString text = parser.value(name);
    double value = 0;
    if constexpr (std::is_floating_point_v<Number>)
        value = text.toDouble(&ok);
    else
        value = static_cast<double>(text.toLongLong(&ok));
    if (!ok || value < static_cast<double>(low) || value > static_cast<double>(high))
        fail(QStringLiteral("--%1 wants a number from %2 to %3, not \"%4\"")
                 .arg(name)
                 .arg(low)
                 .arg(high)
                 .arg(text));
    return static_cast<Number>(value);
}

DeviceSim::Options readOptions(const QCommandLineParser& parser)
{
    DeviceSim::Options options;
    options.pace = parser.isSet(QStringLiteral("pace"));
    options.trace = parser.isSet(QStringLiteral("trace"));
    options.boardRevision = parser.isSet(QStringLiteral("board-revision"));
    constexpr long long kMaxDelayUs = 60'000'000;
    if (parser.isSet(QStringLiteral("delay-us")))
        options.responseDelay = std::chrono::microseconds(
            number<long long>(parser, QStringLiteral("delay-us"), 0, kMaxDelayUs));
    if (parser.isSet(QStringLiteral("block-delay-us")))
        options.blockDelay = std::chrono::microseconds(
            number<long long>(parser, QStringLiteral("block-delay-us"), 0, kMaxDelayUs));
    if (parser.isSet(QStringLiteral("bad-checksum-rate")))
        options.badChecksumRate = number<double>(parser, QStringLiteral("bad-checksum-rate"), 0, 1);
    if (parser.isSet(QStringLiteral("noise-rate")))
        options.noiseRate = number<double>(parser, QStringLiteral("noise-rate"), 0, 1);
    if (parser.isSet(QStringLiteral("noise-max")))
        options.noiseMax = number<int>(parser, QStringLiteral("noise-max"), 1, 255);
    if (parser.isSet(QStringLiteral("drop-request")))
        options.dropRequest = number<int>(parser, QStringLiteral("drop-request"), 1, 1 << 30);
    if (parser.isSet(QStringLiteral("drop-request-rate")))
        options.dropRequestRate = number<double>(parser, QStringLiteral("drop-request-rate"), 0, 1);
    if (parser.isSet(QStringLiteral("silent-after")))
        options.silentAfter = number<int>(parser, QStringLiteral("silent-after"), 1, 1 << 30);
    if (parser.isSet(QStringLiteral("request-timeout")))
        options.requestTimeout = std::chrono::milliseconds(
            number<int>(parser, QStringLiteral("request-timeout"), 1, 3'600'000));
    if (parser.isSet(QStringLiteral("lamps")))
        options.lampPeriod =
            std::chrono::milliseconds(number<int>(parser, QStringLiteral("lamps"), 1, 3'600'000));
    if (parser.isSet(QStringLiteral("seed")))
        options.seed = number<std::uint32_t>(parser, QStringLiteral("seed"), 0, 0xFFFFFFFFu);
    if (parser.isSet(QStringLiteral("name0")))
        options.name0 = parser.value(QStringLiteral("name0")).toLatin1();
    if (parser.isSet(QStringLiteral("name1")))
        options.name1 = parser.value(QStringLiteral("name1")).toLatin1();
    if (parser.isSet(QStringLiteral("revision"))) {
        const QStringList parts = parser.value(QStringLiteral("revision")).split(QLatin1Char('.'));
        bool majorOk = false;
        bool minorOk = false;
        const uint major = parts.value(0).toUInt(&majorOk);
        const uint minor = parts.value(1).toUInt(&minorOk);
        if (parts.size() != 2 || !majorOk || !minorOk || major > 255 || minor > 255)
            fail(QStringLiteral("--revision wants MAJOR.MINOR, each 0 to 255"));
        options.revisionMajor = static_cast<std::uint8_t>(major);
        options.revisionMinor = static_cast<std::uint8_t>(minor);
    }
    options.imageOut = parser.value(QStringLiteral("image-out"));
    return options;
}

// Points the link at the device, replacing an older link but never a real file.
bool makeLink(const QString& link, const QString& target)
{
    const QByteArray path = QFile::encodeName(link);
    struct stat existing
    {};
    if (::lstat(path.constData(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
        std::fprintf(stderr, "quillet-devsim: %s exists and is not a symlink\n", path.constData());
        return false;
    }
    const QByteArray temporary = path + ".devsim-new";
    ::unlink(temporary.constData());
    if (::symlink(QFile::encodeName(target).constData(), temporary.constData()) != 0 ||
        ::rename(temporary.constData(), path.constData()) != 0) {
        std::perror("quillet-devsim: link");
        ::unlink(temporary.constData());
        return false;
    }
    return true;
}

// Removes the link only while it is still ours; another simulator may have taken it.
void removeLink(const QString& link, const QString& target)
{
    const QByteArray path = QFile::encodeName(link);
    std::array<char, 4096> pointsTo{};
    const ssize_t length = ::readlink(path.constData(), pointsTo.data(), pointsTo.size() - 1);
    if (length > 0 && QFile::decodeName(pointsTo.data()) == target)
        ::unlink(path.constData());
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillet-devsim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A simulated controller on a pseudo-terminal. Prints the device path "
                       "as the first line and runs until interrupted."));
    parser.addHelpOption();
    const auto option = [&parser](const char* name, const char* help, const char* value = nullptr) {
        parser.addOption(
            value ? QCommandLineOption(QString::fromLatin1(name), QString::fromLatin1(help),
                                       QString::fromLatin1(value))
                  : QCommandLineOption(QString::fromLatin1(name), QString::fromLatin1(help)));
    };
    option("pace", "Take 312.5 us per byte on the line, as at 38400 baud 8O2.");
    option("delay-us", "Wait this long before answering a frame.", "us");
    option("block-delay-us", "Wait this much longer before asking for the next block.", "us");
    option("bad-checksum-rate", "Send this share of frames (0..1) with a wrong checksum.", "rate");
    option("noise-rate", "Put random bytes before this share of frames (0..1).", "rate");
    option("noise-max", "At most this many noise bytes at a time (default 3).", "n");
    option("drop-request", "Never send the Nth block request.", "n");
    option("drop-request-rate", "Never send this share of block requests (0..1).", "rate");
    option("silent-after", "Answer N frames, then nothing more.", "n");
    option("request-timeout", "Ask again for a block that has not come in MS milliseconds.", "ms");
    option("board-revision", "Report the board revision after a restart.");
    option("lamps", "Report the lamp state every MS milliseconds.", "ms");
    option("image-out", "Write each downloaded image to FILE.", "file");
    option("link", "Make PATH a symlink to the device (removed at exit).", "path");
    option("seed", "Seed for the faults and lamps (default 1).", "n");
    option("trace", "Log every frame with a timestamp to stderr.");
    option("name0", "Name of version 0 (up to 80 bytes).", "text");
    option("name1", "Name of version 1 (up to 80 bytes).", "text");
    option("revision", "Software revision to report (default 1.5).", "major.minor");
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        fail(
            QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));

    DeviceSim sim(readOptions(parser));
    sim.setDownloadDone([](qint64 size, std::uint32_t crc) {
        std::printf("image: %lld bytes, CRC-32 %08X\n", static_cast<long long>(size), crc);
        std::fflush(stdout);
    });
    if (!quitOnSignals(app)) {
        std::perror("quillet-devsim: signals");
        return 1;
    }
    if (!sim.start()) {
        std::fprintf(stderr, "quillet-devsim: no pseudo-terminal: %s\n",
                     qPrintable(sim.errorString()));
        return 1;
    }
    const QString link = parser.value(QStringLiteral("link"));
    if (!link.isEmpty() && !makeLink(link, sim.slavePath()))
        return 1;

    std::printf("%s\n", qPrintable(sim.slavePath()));
    std::fflush(stdout);

    const int result = QCoreApplication::exec();
    sim.stop();
    if (!link.isEmpty())
        removeLink(link, sim.slavePath());
    return result;
}
