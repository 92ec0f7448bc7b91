#include "Bytes.h"
#include "TrafficLog.h"
#include "p2serial.h"
#include "p2sr.h"
#include "uisr.h"

#include <QTest>

namespace {

// A communications view that records what it is asked to log.
class RecordingView : public TrafficLog
{
public:
    bool visible = false;
    QList<QByteArray> rows;

    bool showing() const override { return visible; }
    void Disp_string(const QByteArray& frame) override { rows.append(frame); }
    void Disp_array(const p2sr::Frame&, const QString&) override {}
};

} // namespace

class TestFrames : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void appendsum_data();
    void appendsum();
    void byte2hex_data();
    void byte2hex();
    void writeLogsOnlyWhileViewVisible();
    void moduleFrames_data();
    void moduleFrames();
    void writeWithoutPortDoesNothing();

private:
    p2sr::State m_link;
    RecordingView m_view;
};

void TestFrames::init()
{
    m_link = {};
    m_view = {};
    m_link.view = &m_view;
    p2sr::wire(m_link);
}

void TestFrames::appendsum_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("empty") << QByteArray() << bytes("00");
    QTest::newRow("device-type request") << bytes("0011") << bytes("001111");
    QTest::newRow("select version 2") << bytes("02b00801") << bytes("02b00801bb");
    QTest::newRow("restart") << bytes("01b004") << bytes("01b004b5");
    QTest::newRow("monitor off") << bytes("02b00b00") << bytes("02b00b00bd");
    QTest::newRow("sum wraps") << bytes("ffff") << bytes("fffffe");
    QTest::newRow("debug request") << bytes("04a09a123402") << bytes("04a09a12340286");
}

void TestFrames::appendsum()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, expected);
    p2sr::appendsum(frame);
    QCOMPARE(frame.toHex(' '), expected.toHex(' '));
}

void TestFrames::byte2hex_data()
{
    QTest::addColumn<int>("byte");
    QTest::addColumn<QString>("text");

    QTest::newRow("zero") << 0x00 << "00";
    QTest::newRow("one digit") << 0x05 << "05";
    QTest::newRow("letter digit") << 0x0A << "0A";
    QTest::newRow("upper case") << 0xB9 << "B9";
    QTest::newRow("largest") << 0xFF << "FF";
    QTest::newRow("ten") << 0x10 << "10";
}

void TestFrames::byte2hex()
{
    QFETCH(int, byte);
    QFETCH(QString, text);
    QCOMPARE(uisr::byte2hex(static_cast<std::uint8_t>(byte)), text);
}

void TestFrames::writeLogsOnlyWhileViewVisible()
{
    const QByteArray frame = bytes("001111");

    m_view.visible = false;
    p2sr::p2write(frame);
    QVERIFY(m_view.rows.isEmpty());

    m_view.visible = true;
    p2sr::p2write(frame);
    QCOMPARE(m_view.rows, QList<QByteArray>{frame});
}

void TestFrames::moduleFrames_data()
{
    QTest::addColumn<bool>("reset");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("restart") << false << bytes("01b004b5");
    QTest::newRow("reset") << true << bytes("01b005b6");
}

void TestFrames::moduleFrames()
{
    QFETCH(bool, reset);
    QFETCH(QByteArray, expected);

    m_view.visible = true;
    reset ? p2sr::p2reset() : p2sr::p2restart();
    QCOMPARE(m_view.rows, QList<QByteArray>{expected});
}

void TestFrames::writeWithoutPortDoesNothing()
{
    p2serial closed;
    m_link.endpoint = &closed;
    m_view.visible = true;

    p2sr::p2write(bytes("001111"));

    QCOMPARE(closed.bytesToWrite(), 0);
    QCOMPARE(closed.error(), QSerialPort::NoError);
    QCOMPARE(m_view.rows.size(), 1); // logged all the same: the operator sees what was sent
}

QTEST_GUILESS_MAIN(TestFrames)
#include "tst_frames.moc"
