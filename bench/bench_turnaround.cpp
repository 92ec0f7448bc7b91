// Block turnaround: how long the device waits for the next block after asking for it.
// The console runs as the operator has it during a download (console shown, real
// heartbeat, endpoint on the slave of a pseudo-terminal); this program plays the device at
// the master on a thread of its own and asks for the next block the moment one arrives.
// Measured from the request's write on the device's side to the read that completes the
// block there, once with the communications view hidden and once with it shown and
// already holding half a million rows.

#include "BenchConsole.h"
#include "Figures.h"
#include "TrafficModel.h"
#include "p2view.h"
#include "prefw.h"

#include <QApplication>
#include <QTimer>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kBlockBytes = 8;
constexpr int kWarmUpBlocks = 200;
constexpr int kRunLimitMs = 50'000;

// The device: answers every data block at once with a block request, timing each wait.
class Device
{
public:
    Device(int master, int samplesWanted, int gapUs)
        : m_master(master), m_wanted(samplesWanted), m_gapUs(gapUs)
    {}

    void run()
    {
        std::vector<std::uint8_t> pending;
        std::array<std::uint8_t, 4096> chunk{};
        std::int64_t askedAt = -1;
        int blocks = 0;
        const std::int64_t deadline = figures::nowNs() + std::int64_t{kRunLimitMs} * 1'000'000;
        while (!m_stop && figures::nowNs() < deadline) {
            pollfd pfd{m_master, POLLIN, 0};
            if (::poll(&pfd, 1, 200) <= 0)
                continue;
            const ssize_t got = ::read(m_master, chunk.data(), chunk.size());
            const std::int64_t arrived = figures::nowNs();
            if (got <= 0)
                continue;
            pending.insert(pending.end(), chunk.begin(), chunk.begin() + got);
            while (!pending.empty()) {
                const std::size_t length = (pending[0] & 0x0F) + 3u;
                if (pending.size() < length)
                    break;
                const bool block = pending[0] >= 0x02 && pending[0] <= 0x09 && pending[1] == 0xB0 &&
                                   pending[2] == 0x01;
                pending.erase(pending.begin(), pending.begin() + static_cast<long>(length));
                if (!block)
                    continue; // enable, monitor off, device-type request: nothing to answer
                ++blocks;
                if (askedAt >= 0 && blocks > kWarmUpBlocks + 1)
                    samples.push_back(static_cast<double>(arrived - askedAt) / 1000.0);
                if (static_cast<int>(samples.size()) >= m_wanted) {
                    m_stop = true;
                    break;
                }
                static constexpr std::array<std::uint8_t, 4> kRequest{0x11, 0xB0, 0x01, 0xC2};
                if (m_gapUs > 0) {
                    const timespec gap{0, m_gapUs * 1000L};
                    clock_nanosleep(CLOCK_MONOTONIC, 0, &gap, nullptr);
                }
                askedAt = figures::nowNs();
                if (::write(m_master, kRequest.data(), kRequest.size()) != 4)
                    std::perror("device write");
            }
        }
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    }

    void stop() { m_stop = true; }

    std::vector<double> samples; // microseconds

private:
    int m_master;
    int m_wanted;
    int m_gapUs;
    std::atomic<bool> m_stop = false;
};

void runCase(const char* name, int blocks, int viewRows, int gapUs)
{
    BenchConsole world;
    world.start();
    world.showConsole();
    if (viewRows > 0) {
        // The rows a long session leaves: blocks sent and requests received, alternately.
        TrafficModel& model = world.view().model();
        const std::array<std::uint8_t, 12> block{0x09, 0xB0, 0x01, 1, 2, 3, 4, 5, 6, 7, 8, 0x8C};
        const std::array<std::uint8_t, 4> request{0x11, 0xB0, 0x01, 0xC2};
        const QString rx = QStringLiteral("Rx-");
        for (int i = 0; i < viewRows; i += 2) {
            model.addRow(QString(), block);
            model.addRow(rx, request);
        }
        world.view().Showhide();
    }
    QCoreApplication::processEvents();

    const QByteArray image = figures::image(qsizetype{blocks + kWarmUpBlocks + 16} * kBlockBytes);
    if (!world.armDownload(image)) {
        std::fprintf(stderr, "turnaround: the console did not take the image\n");
        std::exit(1);
    }
    QCoreApplication::processEvents();

    Device device(world.master(), blocks, gapUs);
    std::thread thread(&Device::run, &device);
    QTimer::singleShot(0, [&world] { world.console().kstart_Action(); });
    QApplication::exec();
    device.stop();
    thread.join();
    world.console().Abort();

    const std::string prefix = std::string("turnaround_") + name;
    figures::report((prefix + "_blocks").c_str(), static_cast<double>(device.samples.size()),
                    "blocks");
    figures::report((prefix + "_p50").c_str(), figures::quantile(device.samples, 0.50), "us");
    figures::report((prefix + "_p99").c_str(), figures::quantile(device.samples, 0.99), "us");
    figures::report((prefix + "_max").c_str(), figures::quantile(device.samples, 1.0), "us");
    if (viewRows > 0)
        figures::report((prefix + "_rows_at_end").c_str(),
                        static_cast<double>(world.view().model().rowCount()), "rows");
    if (static_cast<int>(device.samples.size()) < blocks)
        std::fprintf(stderr, "turnaround: only %zu of %d blocks in time\n", device.samples.size(),
                     blocks);
}

} // namespace

int main(int argc, char* argv[])
{
    figures::useOffscreenPlatform();
    QApplication app(argc, argv);
    // Optional: the number of blocks, then "hidden" or "shown" to run one case only.
    const int blocks = argc > 1 ? std::atoi(argv[1]) : 10'000;
    const QByteArray only = argc > 2 ? QByteArray(argv[2]) : QByteArray();
    const int gapUs = argc > 3 ? std::atoi(argv[3]) : 0;
    if (only.isEmpty() || only == "hidden")
        runCase("view_hidden", blocks, 0, gapUs);
    if (only.isEmpty() || only == "shown")
        runCase("view_500k", blocks, 500'000, gapUs);
    return 0;
}
