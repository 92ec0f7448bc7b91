// Receive framing: newrxdata on a long stream of valid frames of every length with bursts
// of line noise between some of them, in deliveries of the sizes a port hands over. Every
// allocation in the process is counted while the frames are cut, to show the frame loop
// allocates nothing.

#include "Figures.h"
#include "p2serial.h"

#include <QCoreApplication>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <random>

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
}

namespace {

std::atomic<long> g_allocations{0};

} // namespace

// Every allocation in the process goes through these: Qt's containers call malloc and
// realloc themselves, operator new calls malloc.
extern "C" void* malloc(std::size_t size)
{
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(size);
}

extern "C" void* calloc(std::size_t count, std::size_t size)
{
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(count, size);
}

extern "C" void* realloc(void* pointer, std::size_t size)
{
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(pointer, size);
}

namespace {

constexpr qsizetype kStreamBytes = 4 * 1024 * 1024;
double g_minSeconds = 1.0; // 0: a single pass, for a profiler

// Valid frames with random lengths and contents; before one frame in ten a burst of 1 to 3
// noise bytes, as a line with interference delivers them.
QByteArray mixedStream(int& frames, int& noise)
{
    std::mt19937 random(7);
    QByteArray stream;
    stream.reserve(kStreamBytes + 32);
    frames = 0;
    noise = 0;
    while (stream.size() < kStreamBytes) {
        if (random() % 10 == 0) {
            const int burst = 1 + static_cast<int>(random() % 3);
            for (int i = 0; i < burst; ++i)
                stream.append(static_cast<char>(random() & 0xFF));
            noise += burst;
        }
        const int n = static_cast<int>(random() % 16);
        std::uint8_t sum = 0;
        const auto put = [&](std::uint8_t b) {
            stream.append(static_cast<char>(b));
            sum = static_cast<std::uint8_t>(sum + b);
        };
        put(static_cast<std::uint8_t>(((random() % 16) << 4) | static_cast<unsigned>(n)));
        for (int i = 0; i < n + 1; ++i)
            put(static_cast<std::uint8_t>(random() & 0xFF));
        stream.append(static_cast<char>(sum));
        ++frames;
    }
    return stream;
}

struct Pass
{
    double megabytesPerSecond = 0.0;
    double allocationsPerDelivery = 0.0;
    long frames = 0;
};

Pass run(p2serial& port, const QByteArray& stream, qsizetype chunk)
{
    // First uses (the logging category, the connection list) allocate once; not counted.
    for (qsizetype at = 0; at < 4096; at += chunk)
        port.newrxdata(QByteArrayView(stream).sliced(at, chunk));

    long delivered = 0;
    long deliveries = 0;
    const long allocationsBefore = g_allocations.load();
    const std::int64_t start = figures::nowNs();
    std::int64_t elapsed = 0;
    do {
        for (qsizetype at = 0; at < stream.size(); at += chunk) {
            port.newrxdata(QByteArrayView(stream).sliced(at, std::min(chunk, stream.size() - at)));
            ++deliveries;
        }
        delivered += stream.size();
        elapsed = figures::nowNs() - start;
    } while (static_cast<double>(elapsed) < g_minSeconds * 1e9);
    const long allocations = g_allocations.load() - allocationsBefore;
    Pass pass;
    pass.megabytesPerSecond =
        static_cast<double>(delivered) / 1e6 / (static_cast<double>(elapsed) / 1e9);
    pass.allocationsPerDelivery =
        static_cast<double>(allocations) / static_cast<double>(deliveries);
    return pass;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc > 1 && QByteArray(argv[1]) == "once")
        g_minSeconds = 0.0;
    int frames = 0;
    int noise = 0;
    const QByteArray stream = mixedStream(frames, noise);
    figures::report("framing_stream_noise_share",
                    100.0 * noise / static_cast<double>(stream.size()), "%");

    {
        // The console's receiver, reduced to what the frame loop sees: a call per frame.
        p2serial port;
        long seen = 0;
        QObject::connect(&port, &p2serial::parseinput, &port,
                         [&seen](const p2sr::Frame& f) { seen += f[0]; });
        for (const qsizetype chunk : {qsizetype{64}, qsizetype{1}, qsizetype{4096}}) {
            const Pass pass = run(port, stream, chunk);
            const std::string name = "framing_" + std::to_string(chunk) + "B_deliveries";
            figures::report(name.c_str(), pass.megabytesPerSecond, "MB/s");
            figures::report((name + "_allocations").c_str(), pass.allocationsPerDelivery,
                            "per_delivery");
        }
        if (seen == 0)
            std::fprintf(stderr, "no frames\n");
    }
    {
        p2serial port; // nobody listening at all
        const Pass pass = run(port, stream, 64);
        figures::report("framing_64B_no_receiver", pass.megabytesPerSecond, "MB/s");
        figures::report("framing_64B_no_receiver_allocations", pass.allocationsPerDelivery,
                        "per_delivery");
    }
    {
        // With a debugerror receiver, a delivery that skips noise builds its EParse text.
        p2serial port;
        QObject::connect(&port, &p2serial::parseinput, &port, [](const p2sr::Frame&) {});
        QObject::connect(&port, &p2serial::debugerror, &port, [](const QString&) {});
        const Pass pass = run(port, stream, 64);
        figures::report("framing_64B_with_debugerror", pass.megabytesPerSecond, "MB/s");
        figures::report("framing_64B_with_debugerror_allocations", pass.allocationsPerDelivery,
                        "per_delivery");
    }
    return 0;
}
