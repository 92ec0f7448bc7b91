// Paced download: a 64 KiB image to quillet-devsim at the line's real speed (--pace: every
// byte 312.5 us each way) with no thinking time on the device. A block exchange is 12
// bytes out and a 4-byte request back, 5.0 ms on the wire: stop-and-wait can do no better,
// so the wall time against that limit shows what the rest of the loop costs the download.
// That rest is shared by the pseudo-terminal, the simulated device's wake-ups and the
// console; the console's own part, from the port's arrival notification to the block's
// write, is reported on its own.

#include "BenchConsole.h"
#include "DeviceSim.h"
#include "DevsimProcess.h"
#include "Figures.h"
#include "FrameTap.h"
#include "p2view.h"
#include "prefw.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr double kExchangeUs = 16 * 312.5; // 12-byte block and 4-byte request
constexpr int kBlockBytes = 8;

void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Notes when the event loop first hands the console a notification after a block went out:
// the block request's arrival at the port.
class ArrivalStamp : public QObject
{
public:
    std::int64_t at = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::SockAct && at == 0)
            at = figures::nowNs();
        return QObject::eventFilter(watched, event);
    }
};

bool isDataBlock(const QByteArray& frame)
{
    // (n + 1) B0 01, n image bytes, checksum
    return frame.size() > 4 && frame.at(1) == '\xB0' && frame.at(2) == '\x01';
}

} // namespace

int main(int argc, char* argv[])
{
    figures::useOffscreenPlatform();
    QApplication app(argc, argv);
    // Optional: the image size in bytes, then "exact" for a device without timer slack.
    const qsizetype size = argc > 1 ? std::atoll(argv[1]) : 64 * 1024;
    const bool exact = argc > 2 && QByteArray(argv[2]) == "exact";

    DevsimProcess device({QStringLiteral("--pace")}, exact);
    if (device.path().isEmpty())
        return 1;
    BenchConsole world(device.path());
    world.start();
    world.showConsole();

    ArrivalStamp arrival;
    std::int64_t firstBlockAt = 0;
    std::int64_t lastBlockAt = 0;
    std::int64_t doneAt = 0;
    std::vector<double> exchanges; // from one block to the next, us
    std::vector<double> console;   // from the request's notification to the block's write, us
    FrameTap tap(&world.view(), [&](const QByteArray& frame, std::int64_t at) {
        if (isDataBlock(frame)) {
            if (firstBlockAt == 0) {
                firstBlockAt = at;
            } else {
                exchanges.push_back(static_cast<double>(at - lastBlockAt) / 1000.0);
                if (arrival.at != 0)
                    console.push_back(static_cast<double>(at - arrival.at) / 1000.0);
            }
            lastBlockAt = at;
            arrival.at = 0;
        }
        if (frame == QByteArray("\x01\xB0\x01\xB2", 4)) {
            doneAt = at;
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
    });
    p2sr::state().view = &tap;

    const QByteArray image = figures::image(size);
    if (!world.armDownload(image))
        return 1;
    settle(300); // the device's answers to Enable and File come and go

    app.installEventFilter(&arrival);
    QTimer::singleShot(0, [&world] { world.console().kstart_Action(); });
    QTimer::singleShot(120'000, qApp, &QCoreApplication::quit);
    QApplication::exec();
    app.removeEventFilter(&arrival);
    p2sr::state().view = &world.view();

    const QByteArray line = device.waitForImageLine(5000);
    const QByteArray expected =
        QByteArrayLiteral("image: ") + QByteArray::number(size) + " bytes, CRC-32 " +
        QByteArray::number(DeviceSim::crc32(image), 16).toUpper().rightJustified(8, '0');
    if (doneAt == 0 || line != expected) {
        std::fprintf(stderr, "paced download failed: %s\n", line.constData());
        return 1;
    }

    const qsizetype blocks = (size + kBlockBytes - 1) / kBlockBytes;
    const double wallUs = static_cast<double>(doneAt - firstBlockAt) / 1000.0;
    const double limitUs = static_cast<double>(blocks) * kExchangeUs;
    const std::string prefix = exact ? "paced_exact_device" : "paced";
    const auto report = [&prefix](const char* name, double value, const char* unit) {
        figures::report((prefix + name).c_str(), value, unit);
    };
    report("_wall", wallUs / 1e6, "s");
    report("_limit", limitUs / 1e6, "s");
    report("_efficiency", 100.0 * limitUs / wallUs, "%");
    report("_overhead_per_block", (wallUs - limitUs) / static_cast<double>(blocks), "us");
    report("_overhead_p50", figures::quantile(exchanges, 0.5) - kExchangeUs, "us");
    report("_overhead_p99", figures::quantile(exchanges, 0.99) - kExchangeUs, "us");
    report("_console_part_p50", figures::quantile(console, 0.5), "us");
    report("_console_part_p99", figures::quantile(console, 0.99), "us");
    return 0;
}
