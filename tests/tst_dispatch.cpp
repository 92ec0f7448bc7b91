#include "ConsoleOps.h"
#include "TrafficLog.h"
#include "p2sr.h"

#include <QTest>

namespace {

// A console and a view that write every call into one list, so order across both shows.
class Recorder : public ConsoleOps, public TrafficLog
{
public:
    QStringList calls;
    bool visible = true;

    void Rxack() override { calls << "Rxack"; }
    void Rxname(const p2sr::Frame& p) override
    {
        calls << QStringLiteral("Rxname(%1,%2)").arg(p[3]).arg(p[4]);
    }
    void Dispversion(std::uint8_t v) override { calls << QStringLiteral("Dispversion(%1)").arg(v); }
    void Dispmonitor(std::uint8_t m) override { calls << QStringLiteral("Dispmonitor(%1)").arg(m); }
    void Disprevision(std::uint8_t major, std::uint8_t minor) override
    {
        calls << QStringLiteral("Disprevision(%1,%2)").arg(major).arg(minor);
    }
    void Dispdate(std::uint8_t y, std::uint8_t m, std::uint8_t d) override
    {
        calls << QStringLiteral("Dispdate(%1,%2,%3)")
                     .arg(y, 2, 16, QLatin1Char('0'))
                     .arg(m, 2, 16, QLatin1Char('0'))
                     .arg(d, 2, 16, QLatin1Char('0'));
    }
    void rxdatarq() override { calls << "rxdatarq"; }
    void setCorerev(const QString& text) override { calls << "corerev=" + text; }

    bool showing() const override { return visible; }
    void Disp_string(const QByteArray& frame) override { calls << "sent " + frame.toHex(' '); }
    void Disp_array(const p2sr::Frame& frame, const QString& prefix) override
    {
        // the view logs CMD1, CMD2, the data and the checksum
        const int length = (frame[0] & 0x0F) + 3;
        calls << "log " + prefix +
                     QByteArray(reinterpret_cast<const char*>(frame.data()), length).toHex(' ');
    }
};

// A frame buffer as the endpoint hands it over: the frame with its checksum, then
// whatever earlier frames left in the positions after it.
p2sr::Frame frame(const char* hex, const char* leftover = "")
{
    QByteArray bytes = QByteArray::fromHex(hex);
    std::uint8_t sum = 0;
    for (const char c : std::as_const(bytes))
        sum = static_cast<std::uint8_t>(sum + static_cast<std::uint8_t>(c));
    bytes.append(static_cast<char>(sum));
    bytes.append(QByteArray::fromHex(leftover));
    p2sr::Frame f{};
    std::copy_n(bytes.constData(), std::min<qsizetype>(bytes.size(), f.size()), f.begin());
    return f;
}

using Frames = QList<p2sr::Frame>;

} // namespace

Q_DECLARE_METATYPE(p2sr::Frame)

class TestDispatch : public QObject
{
    Q_OBJECT

private slots:
    void dispatch_data();
    void dispatch();
    void everyCommandByte();
};

void TestDispatch::dispatch_data()
{
    QTest::addColumn<Frames>("frames");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<QStringList>("calls");

    QTest::newRow("acknowledge") << Frames{frame("1001")} << true
                                 << QStringList{"Rxack", "log Rx-10 01 11"};
    QTest::newRow("acknowledge with data")
        << Frames{frame("1101ff")} << true << QStringList{"Rxack", "log Rx-11 01 ff 11"};
    QTest::newRow("block request: logged, then answered")
        << Frames{frame("11b001")} << true << QStringList{"log Rx-11 b0 01 c2", "rxdatarq"};
    QTest::newRow("full status") << Frames{frame("18b00601000205091225")} << true
                                 << QStringList{"Dispversion(1)", "Dispmonitor(0)",
                                                "Disprevision(2,5)", "Dispdate(09,12,25)",
                                                "log Rx-18 b0 06 01 00 02 05 09 12 25 16"};
    QTest::newRow("status with two data bytes")
        << Frames{frame("12b00607", "ffffffffff")} << true
        << QStringList{"Dispversion(7)", "Dispmonitor(0)", "Disprevision(0,0)",
                       "Dispdate(00,00,00)", "log Rx-12 b0 06 07 cf"};
    // four data bytes: the minor revision read is the checksum
    QTest::newRow("status with four data bytes")
        << Frames{frame("14b006010103", "eeeeee")} << true
        << QStringList{"Dispversion(1)", "Dispmonitor(1)", "Disprevision(3,207)",
                       "Dispdate(00,00,00)", "log Rx-14 b0 06 01 01 03 cf"};
    // six data bytes: the date's last two bytes are the checksum and a left-over byte
    QTest::newRow("status with six data bytes")
        << Frames{frame("16b0060001010226", "77")} << true
        << QStringList{"Dispversion(0)", "Dispmonitor(1)", "Disprevision(1,2)",
                       "Dispdate(26,f6,77)", "log Rx-16 b0 06 00 01 01 02 26 f6"};
    QTest::newRow("name chunk") << Frames{frame("1bb00300484142430000000000")} << true
                                << QStringList{"Rxname(0,72)",
                                               "log Rx-1b b0 03 00 48 41 42 43 00 00 00 00 "
                                               "00 dc"};
    QTest::newRow("other device command")
        << Frames{frame("11b007")} << true << QStringList{"log Rx-11 b0 07 c8"};
    QTest::newRow("board revision")
        << Frames{frame("17b3aabb01020aff99")} << true
        << QStringList{"corerev=core rev - 01 02 0A FF ", "log Rx-17 b3 aa bb 01 02 0a ff 99 d4"};
    QTest::newRow("lamp state logged only when it changes")
        << Frames{frame("14b90a010203"), frame("14b90a010203"), frame("14b90a010204"),
                  frame("14b90a010204")}
        << true << QStringList{"log Rx-14 b9 0a 01 02 03 dd", "log Rx-14 b9 0a 01 02 04 de"};
    QTest::newRow("first lamp report of zeros is not logged")
        << Frames{frame("14b90a000000")} << true << QStringList();
    QTest::newRow("device command without data")
        << Frames{frame("10b0")} << true << QStringList{"log Rx-10 b0 c0"};
    QTest::newRow("other lamp report: nothing") << Frames{frame("11b903")} << true << QStringList();
    QTest::newRow("other reply") << Frames{frame("1055")} << true << QStringList{"log Rx-10 55 65"};
    QTest::newRow("group 2") << Frames{frame("2001")} << true << QStringList{"log Rx-20 01 21"};
    QTest::newRow("group 0 looks like an acknowledge")
        << Frames{frame("0001")} << true << QStringList{"log Rx-00 01 01"};
    QTest::newRow("group 15") << Frames{frame("f0b0")} << true << QStringList{"log Rx-f0 b0 a0"};
    QTest::newRow("hidden view: actions only")
        << Frames{frame("1001"), frame("11b001"), frame("12b00601"), frame("14b90a050505")} << false
        << QStringList{"Rxack",          "rxdatarq",          "Dispversion(1)",
                       "Dispmonitor(0)", "Disprevision(0,0)", "Dispdate(00,00,00)"};
}

void TestDispatch::dispatch()
{
    QFETCH(Frames, frames);
    QFETCH(bool, visible);
    QFETCH(QStringList, calls);

    Recorder recorder;
    recorder.visible = visible;
    p2sr::State link;
    link.console = &recorder;
    link.view = &recorder;
    p2sr::wire(link);

    for (const p2sr::Frame& f : std::as_const(frames))
        p2sr::parsep2(f);

    QCOMPARE(recorder.calls, calls);
}

// Every CMD1 with the command bytes the dispatcher knows: only the reply group reaches the
// console, and nothing reads outside the frame buffer (the sanitizer build checks that).
void TestDispatch::everyCommandByte()
{
    Recorder recorder;
    p2sr::State link;
    link.console = &recorder;
    link.view = &recorder;
    p2sr::wire(link);

    int consoleCalls = 0;
    int acknowledges = 0;
    for (int cmd1 = 0; cmd1 < 256; ++cmd1) {
        for (const int cmd2 : {0x01, 0xB0, 0xB3, 0xB9, 0x55}) {
            for (const int d : {0x01, 0x03, 0x06, 0x0A}) {
                QByteArray hex = QByteArray::number(cmd1 + 0x100, 16).mid(1) +
                                 QByteArray::number(cmd2 + 0x100, 16).mid(1);
                const int n = cmd1 & 0x0F;
                for (int i = 0; i < n; ++i)
                    hex += QByteArray::number((i == 0 ? d : 0xA5) + 0x100, 16).mid(1);
                recorder.calls.clear();
                p2sr::parsep2(frame(hex.constData(), "ffffffffffffffff"));
                const qsizetype logged = recorder.calls.filter(QStringLiteral("log ")).size();
                QVERIFY(logged <= 1);
                consoleCalls += static_cast<int>(recorder.calls.size() - logged);
                acknowledges += static_cast<int>(recorder.calls.count(QStringLiteral("Rxack")));
                if ((cmd1 >> 4) != 1)
                    QCOMPARE(logged, 1); // other groups: logged, nothing else
            }
        }
    }
    QCOMPARE(acknowledges, 16 * 4); // CMD2 0x01 in the reply group, whatever the data
    QVERIFY(consoleCalls > acknowledges);
}

QTEST_GUILESS_MAIN(TestDispatch)
#include "tst_dispatch.moc"
