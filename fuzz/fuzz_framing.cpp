// Feeds arbitrary bytes, cut into arbitrary deliveries, to the serial endpoint's framer and
// hands every frame it raises to the dispatcher. The line from the device can carry
// anything (noise, a half-sent frame after a reset, another device's traffic), so the
// framer must neither crash, lose bytes nor raise a frame whose checksum fails, and how
// the bytes happen to be split into reads must not change what it raises.
#include "ConsoleOps.h"
#include "TrafficLog.h"
#include "p2serial.h"
#include "p2sr.h"

#include <QByteArray>
#include <QList>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>

namespace {

void require(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "framing invariant broken: %s\n", what);
        std::abort();
    }
}

// The wire rules, restated here so that a change to the program's own cannot hide.
int lengthOf(std::uint8_t cmd1)
{
    return (cmd1 & 0x0F) + 3;
}

std::uint8_t sumOf(const QByteArray& bytes, qsizetype count)
{
    std::uint8_t sum = 0;
    for (qsizetype i = 0; i < count; ++i)
        sum = static_cast<std::uint8_t>(sum + static_cast<std::uint8_t>(bytes[i]));
    return sum;
}

// A console and a view that take every call and count them; the dispatcher must get
// through any frame without touching anything else.
class Recorder : public ConsoleOps, public TrafficLog
{
public:
    int calls = 0;
    bool visible = true;

    void Rxack() override { ++calls; }
    void Rxname(const p2sr::Frame&) override { ++calls; }
    void Dispversion(std::uint8_t) override { ++calls; }
    void Dispmonitor(std::uint8_t) override { ++calls; }
    void Disprevision(std::uint8_t, std::uint8_t) override { ++calls; }
    void Dispdate(std::uint8_t, std::uint8_t, std::uint8_t) override { ++calls; }
    void rxdatarq() override { ++calls; }
    void setCorerev(const QString&) override { ++calls; }
    bool showing() const override { return visible; }
    void Disp_string(const QByteArray&) override { ++calls; }
    void Disp_array(const p2sr::Frame&, const QString&) override { ++calls; }
};

// What the framer must make of the whole stream however it is cut: at each position
// either a complete frame whose checksum verifies, or one skipped byte; a frame that has
// not fully arrived waits in the ring.
struct Outcome
{
    QList<QByteArray> frames;
    qsizetype skipped = 0;
    qsizetype left = 0;
};

Outcome frameWhole(const QByteArray& stream)
{
    Outcome out;
    qsizetype at = 0;
    while (at < stream.size()) {
        const int length = lengthOf(static_cast<std::uint8_t>(stream[at]));
        if (stream.size() - at < length)
            break;
        const QByteArray candidate = stream.mid(at, length);
        if (sumOf(candidate, length - 1) == static_cast<std::uint8_t>(candidate[length - 1])) {
            out.frames.append(candidate);
            at += length;
        } else {
            ++out.skipped;
            ++at;
        }
    }
    out.left = stream.size() - at;
    return out;
}

// Frames with correct checksums, made from the fuzz data.
QByteArray validFrames(FuzzedDataProvider& data, QList<QByteArray>& frames)
{
    QByteArray stream;
    const int count = data.ConsumeIntegralInRange(0, 64);
    for (int i = 0; i < count && data.remaining_bytes() >= 2; ++i) {
        const auto cmd1 = data.ConsumeIntegral<std::uint8_t>();
        const std::string body = data.ConsumeBytesAsString(lengthOf(cmd1) - 2);
        if (body.size() + 2 != static_cast<std::size_t>(lengthOf(cmd1)))
            break;
        QByteArray frame(1, static_cast<char>(cmd1));
        frame.append(body.data(), static_cast<qsizetype>(body.size()));
        frame.append(static_cast<char>(sumOf(frame, frame.size())));
        frames.append(frame);
        stream.append(frame);
    }
    return stream;
}

// Anything at all, of a length the data chooses; what is left decides the cuts.
QByteArray anyBytes(FuzzedDataProvider& data)
{
    const std::string bytes = data.ConsumeBytesAsString(
        data.ConsumeIntegralInRange<std::size_t>(0, data.remaining_bytes()));
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

struct Delivery
{
    QByteArray bytes;
    bool fromHandler = false; // read while a frame was being dispatched (a nested event loop)
};

// Cuts the stream anywhere, reads longer than the ring included, with the rest of the data.
QList<Delivery> cut(const QByteArray& stream, FuzzedDataProvider& data)
{
    QList<Delivery> deliveries;
    qsizetype at = 0;
    while (at < stream.size()) {
        qsizetype size = stream.size() - at;
        bool fromHandler = false;
        if (data.remaining_bytes() > 0) {
            size = std::min<qsizetype>(size, data.ConsumeIntegralInRange(0, 300));
            fromHandler = data.ConsumeBool();
        }
        deliveries.append({stream.mid(at, size), fromHandler});
        at += size;
    }
    return deliveries;
}

int skippedIn(const QString& report)
{
    // "EParse " followed by each skipped byte as two hex digits and a space.
    const QString prefix = QStringLiteral("EParse ");
    require(report.startsWith(prefix), "skip report without its prefix");
    require((report.size() - prefix.size()) % 3 == 0, "skip report of odd length");
    return static_cast<int>((report.size() - prefix.size()) / 3);
}

Recorder g_recorder;
p2sr::State g_dispatch;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    g_dispatch.console = &g_recorder;
    g_dispatch.view = &g_recorder;
    p2sr::wire(g_dispatch);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    FuzzedDataProvider data(bytes, size);
    const bool onlyValid = data.ConsumeBool();
    g_recorder.visible = data.ConsumeBool();
    g_dispatch.leddata = {};

    QList<QByteArray> built;
    const QByteArray stream = onlyValid ? validFrames(data, built) : anyBytes(data);
    const QList<Delivery> deliveries = cut(stream, data);

    p2serial port;
    QList<QByteArray> raised;
    qsizetype skipped = 0;
    qsizetype next = 0;
    QObject::connect(&port, &p2serial::parseinput, [&](const p2sr::Frame& frame) {
        const int length = lengthOf(frame[0]);
        const QByteArray got(reinterpret_cast<const char*>(frame.data()), length);
        require(sumOf(got, length - 1) == frame[static_cast<std::size_t>(length - 1)],
                "raised a frame whose checksum fails");
        raised.append(got);
        p2sr::parsep2(frame);
        if (next < deliveries.size() && deliveries[next].fromHandler)
            port.newrxdata(deliveries[next++].bytes);
    });
    QObject::connect(&port, &p2serial::debugerror,
                     [&](const QString& report) { skipped += skippedIn(report); });

    while (next < deliveries.size()) {
        port.newrxdata(deliveries[next++].bytes);
        const int held = static_cast<std::uint8_t>(port.inp - port.outp);
        require(held == 0 || held < lengthOf(port.rxbuff[port.outp]),
                "a complete frame's worth of bytes stays in the ring");
    }

    qsizetype consumed = 0;
    for (const QByteArray& frame : std::as_const(raised))
        consumed += frame.size();
    const int held = static_cast<std::uint8_t>(port.inp - port.outp);
    require(consumed + skipped + held == stream.size(), "bytes lost or counted twice");

    const Outcome expected = frameWhole(stream);
    require(raised == expected.frames, "frames differ from those of the uncut stream");
    require(skipped == expected.skipped && held == expected.left,
            "skipped or held bytes differ from those of the uncut stream");
    if (onlyValid) {
        require(raised == built, "valid frames not raised exactly once each, in order");
        require(skipped == 0 && held == 0, "bytes of valid frames skipped or left over");
    }
    return 0;
}
