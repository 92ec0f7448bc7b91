// CPU use of the console: idle (console shown, port open, no traffic, the real 50 ms
// heartbeat) and during a download from quillet-devsim without line pacing, where the
// console answers blocks as fast as it can. The device runs in a process of its own, so
// the CPU time read here is the console's.

#include "BenchConsole.h"
#include "DevsimProcess.h"
#include "Figures.h"
#include "FrameTap.h"
#include "p2view.h"
#include "prefw.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>

namespace {

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

long contextSwitches()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nvcsw + usage.ru_nivcsw;
}

void idle(int seconds)
{
    BenchConsole world;
    world.start();
    world.showConsole();
    runFor(1000); // start-up work settles

    const double cpu = figures::processCpuSeconds();
    const long switches = contextSwitches();
    const std::int64_t start = figures::nowNs();
    runFor(seconds * 1000);
    const double wall = static_cast<double>(figures::nowNs() - start) / 1e9;
    figures::report("cpu_idle", 100.0 * (figures::processCpuSeconds() - cpu) / wall, "%_of_a_core");
    figures::report("cpu_idle_wakeups", static_cast<double>(contextSwitches() - switches) / wall,
                    "per_s");
}

void download(qsizetype size)
{
    DevsimProcess device({});
    if (device.path().isEmpty())
        return;
    BenchConsole world(device.path());
    world.start();
    world.showConsole();

    std::int64_t doneAt = 0;
    FrameTap tap(&world.view(), [&doneAt](const QByteArray& frame, std::int64_t at) {
        if (frame == QByteArray("\x01\xB0\x01\xB2", 4)) {
            doneAt = at;
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
    });
    p2sr::state().view = &tap;
    if (!world.armDownload(figures::image(size)))
        return;
    runFor(300);

    const double cpu = figures::processCpuSeconds();
    const std::int64_t start = figures::nowNs();
    QTimer::singleShot(0, [&world] { world.console().kstart_Action(); });
    QTimer::singleShot(60'000, qApp, &QCoreApplication::quit);
    QApplication::exec();
    const double used = figures::processCpuSeconds() - cpu;
    p2sr::state().view = &world.view();
    if (doneAt == 0 || device.waitForImageLine(5000).isEmpty()) {
        std::fprintf(stderr, "the unpaced download did not finish\n");
        return;
    }
    const double wall = static_cast<double>(doneAt - start) / 1e9;
    figures::report("cpu_download_unpaced", used / wall, "cpu_s_per_s");
    figures::report("download_unpaced_rate", static_cast<double>(size) / wall / 1024.0,
                    "KiB_per_s");
}

} // namespace

int main(int argc, char* argv[])
{
    figures::useOffscreenPlatform();
    QApplication app(argc, argv);
    idle(5);
    download(256 * 1024);
    return 0;
}
