#include "Bytes.h"
#include "p2serial.h"

#include <QTest>

namespace {

using Deliveries = QList<QByteArray>;

QByteArray frameBytes(const p2sr::Frame& frame)
{
    return QByteArray(reinterpret_cast<const char*>(frame.data()), p2sr::frameLength(frame[0]));
}

// Records what the endpoint raises, tagging each frame with the delivery it came from.
struct Recorder
{
    explicit Recorder(p2serial& port)
    {
        QObject::connect(&port, &p2serial::parseinput, [this](const p2sr::Frame& frame) {
            frames.append(QString::number(delivery) + QLatin1Char(':') +
                          QString::fromLatin1(frameBytes(frame).toHex(' ')));
        });
        QObject::connect(&port, &p2serial::debugerror,
                         [this](const QString& report) { reports.append(report); });
    }

    int delivery = 0;
    QStringList frames;
    QStringList reports;
};

// Frame i of a long stream: every length from 3 to 18 bytes, contents that vary.
QByteArray streamFrame(int i)
{
    QByteArray frame;
    const int n = i % 16;
    frame.append(static_cast<char>(0x10 | n));
    frame.append(static_cast<char>(i & 0xFF));
    for (int d = 0; d < n; ++d)
        frame.append(static_cast<char>((i * 7 + d) & 0xFF));
    p2sr::appendsum(frame);
    return frame;
}

} // namespace

class TestFraming : public QObject
{
    Q_OBJECT

private slots:
    void deliveries_data();
    void deliveries();
    void longReadDeliversEveryFrameInOrder();
    void byteByByteMatchesWholeRead();
    void bytesArrivingDuringDispatchWaitTheirTurn();
    void staleBytesBeyondTheFrameStay();
    void noiseFloodKeepsFraming();
};

void TestFraming::deliveries_data()
{
    QTest::addColumn<int>("start"); // ring index where the first byte lands
    QTest::addColumn<Deliveries>("input");
    QTest::addColumn<QStringList>("frames"); // delivery:bytes
    QTest::addColumn<QStringList>("reports");
    QTest::addColumn<int>("left"); // bytes still waiting in the ring

    QTest::newRow("two frames in one delivery")
        << 0 << Deliveries{bytes("100111200121")} << QStringList{"0:10 01 11", "0:20 01 21"}
        << QStringList() << 0;
    QTest::newRow("frame split over two deliveries")
        << 0 << Deliveries{bytes("10"), bytes("0111")} << QStringList{"1:10 01 11"} << QStringList()
        << 0;
    // 10 00 11 fails its sum; 00 and 11 then fail as frame starts too, and the
    // acknowledge behind them is found.
    QTest::newRow("wrong checksum skips one byte at a time")
        << 0 << Deliveries{bytes("100011100111")} << QStringList{"0:10 01 11"}
        << QStringList{"EParse 10 00 11 "} << 0;
    // 0x99 announces 12 bytes; it is tested, and skipped, only once 12 bytes are there.
    QTest::newRow("long announcement holds back until testable")
        << 0 << Deliveries{bytes("99100111"), bytes("2001212001211001")}
        << QStringList{"1:10 01 11", "1:20 01 21", "1:20 01 21"} << QStringList{"EParse 99 "} << 2;
    QTest::newRow("two skipped bytes in one report")
        << 0 << Deliveries{bytes("55aa100111100111100111100111")}
        << QStringList{"0:10 01 11", "0:10 01 11", "0:10 01 11", "0:10 01 11"}
        << QStringList{"EParse 55 AA "} << 0;
    QTest::newRow("frame across ring slots 254, 255, 0, 1")
        << 254 << Deliveries{bytes("11b001c2")} << QStringList{"0:11 b0 01 c2"} << QStringList()
        << 0;
    QTest::newRow("longest frame")
        << 0 << Deliveries{bytes("1f0a0102030405060708090a0b0c0d0e0fa1")}
        << QStringList{"0:1f 0a 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f a1"} << QStringList()
        << 0;
    QTest::newRow("empty delivery")
        << 0 << Deliveries{QByteArray()} << QStringList() << QStringList() << 0;
    QTest::newRow("incomplete frame waits")
        << 0 << Deliveries{bytes("11b001")} << QStringList() << QStringList() << 3;
}

void TestFraming::deliveries()
{
    QFETCH(int, start);
    QFETCH(Deliveries, input);
    QFETCH(QStringList, frames);
    QFETCH(QStringList, reports);
    QFETCH(int, left);

    p2serial port;
    port.inp = port.outp = static_cast<std::uint8_t>(start);
    Recorder recorder(port);
    for (const QByteArray& delivery : input) {
        port.newrxdata(delivery);
        ++recorder.delivery;
    }

    QCOMPARE(recorder.frames, frames);
    QCOMPARE(recorder.reports, reports);
    QCOMPARE(static_cast<std::uint8_t>(port.inp - port.outp), left);
    int total = 0;
    for (const QByteArray& delivery : input)
        total += delivery.size();
    QCOMPARE(port.inp, static_cast<std::uint8_t>(start + total));
}

void TestFraming::longReadDeliversEveryFrameInOrder()
{
    QByteArray stream;
    QStringList expected;
    for (int i = 0; i < 1000; ++i) {
        const QByteArray frame = streamFrame(i);
        stream += frame;
        expected.append(QStringLiteral("0:") + QString::fromLatin1(frame.toHex(' ')));
    }
    QVERIFY(stream.size() > 255);

    p2serial port;
    Recorder recorder(port);
    port.newrxdata(stream);

    QCOMPARE(recorder.frames.size(), 1000);
    QCOMPARE(recorder.frames, expected);
    QVERIFY(recorder.reports.isEmpty());
    QCOMPARE(port.inp, port.outp);
}

void TestFraming::byteByByteMatchesWholeRead()
{
    QByteArray stream = bytes("99"); // a stray byte first, as after a line glitch
    for (int i = 0; i < 40; ++i)
        stream += streamFrame(i * 5);
    stream += bytes("55aa");

    p2serial whole;
    Recorder wholeFrames(whole);
    whole.newrxdata(stream);

    p2serial single;
    Recorder singleFrames(single);
    for (const char byte : std::as_const(stream))
        single.newrxdata(QByteArrayView(&byte, 1));

    QCOMPARE(wholeFrames.frames.size(), 40);
    QCOMPARE(singleFrames.frames, wholeFrames.frames);
    QCOMPARE(singleFrames.reports.join(QString()).remove(QStringLiteral("EParse ")),
             wholeFrames.reports.join(QString()).remove(QStringLiteral("EParse ")));
}

void TestFraming::bytesArrivingDuringDispatchWaitTheirTurn()
{
    p2serial port;
    QStringList order;
    bool fedOnce = false;
    QObject::connect(&port, &p2serial::parseinput, [&](const p2sr::Frame& frame) {
        order.append(QString::fromLatin1(frameBytes(frame).toHex(' ')));
        if (!fedOnce) {
            // as if a message box's event loop had read the next bytes from the port
            fedOnce = true;
            port.newrxdata(bytes("300131"));
        }
    });

    port.newrxdata(bytes("100111200121"));

    QCOMPARE(order, (QStringList{"10 01 11", "20 01 21", "30 01 31"}));
    QCOMPARE(port.inp, port.outp);
}

void TestFraming::staleBytesBeyondTheFrameStay()
{
    p2serial port;
    port.newrxdata(bytes("13b0010203c9"));
    port.newrxdata(bytes("100111"));

    // the short frame overwrites only its own three positions of the frame buffer
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(port.incmd.data()), 6).toHex(' '),
             QByteArray("10 01 11 02 03 c9"));
}

// Minutes of noise at the line's full rate (38400 baud 8O2 is 3200 bytes a second): the
// ring stays bounded, and the first good frames after the noise are found.
void TestFraming::noiseFloodKeepsFraming()
{
    p2serial port;
    int frames = 0;
    QByteArray last;
    QObject::connect(&port, &p2serial::parseinput, [&](const p2sr::Frame& frame) {
        ++frames;
        last = frameBytes(frame);
    });
    quint32 seed = 12345;
    QByteArray chunk(64, '\0');
    for (int round = 0; round < 10 * 60 * 3200 / 64; ++round) {
        for (char& byte : chunk) {
            seed = seed * 1664525u + 1013904223u;
            byte = static_cast<char>(seed >> 24);
        }
        port.newrxdata(chunk);
        QVERIFY(static_cast<std::uint8_t>(port.inp - port.outp) < 18);
    }
    const int noiseFrames = frames;
    // enough acknowledges that any stray byte still waiting is tested and dropped
    port.newrxdata(bytes("100111").repeated(7));
    QVERIFY(frames > noiseFrames);
    QCOMPARE(last.toHex(' '), QByteArray("10 01 11"));
}

QTEST_GUILESS_MAIN(TestFraming)
#include "tst_framing.moc"
