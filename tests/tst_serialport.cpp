#include "Alert.h"
#include "Bytes.h"
#include "Pty.h"
#include "config.h"
#include "p2serial.h"
#include "p2sr.h"
#include "serialthread.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <termios.h>

// The endpoint against a real pseudo-terminal, the way an operator reaches a device
// through --port.
class TestSerialPort : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void opensWithTheDeviceLineSettings();
    void moduleFramesReachTheDevice();
    void deviceFramesArriveInOrder();
    void readerTakesOverDuringDownload();
    void indexPastTheListFails();
    void noPortClosesWithoutMessage();
    void closeEndsTheReader();
    void tunesTheLineOnOpen();
    void staleInputIsDropped();
    void openFailureSaysWhy_data();
    void openFailureSaysWhy();
    void unpluggedPortIsClosedOnce();

private:
    [[nodiscard]] int ptyIndex() const;

    std::unique_ptr<Pty> m_pty;
    std::unique_ptr<p2serial> m_port;
    QTemporaryDir m_dir;
    config::State m_settings;
    p2sr::State m_link;
    QStringList m_alerts;
    QStringList m_details;
    Alert::Handler m_previousAlert;
};

void TestSerialPort::init()
{
    m_pty = std::make_unique<Pty>();
    QVERIFY(m_pty->isOpen());

    m_settings = {};
    m_settings.folder = m_dir.path();
    config::wire(m_settings);
    config::initconfig(QStringLiteral("quillet"));

    m_port = std::make_unique<p2serial>();
    m_port->setPortList(PortList({m_pty->slavePath()}));
    m_port->init();
    m_link = {};
    m_link.endpoint = m_port.get();
    p2sr::wire(m_link);

    m_alerts.clear();
    m_details.clear();
    m_previousAlert = Alert::install([this](const QString& text, const QString& detail) {
        m_alerts.append(text);
        m_details.append(detail);
    });
}

void TestSerialPort::cleanup()
{
    Alert::install(m_previousAlert);
    m_port.reset();
    m_pty.reset();
    QFile::remove(config::path());
}

int TestSerialPort::ptyIndex() const
{
    return static_cast<int>(m_port->portList().entries().size()) - 1;
}

void TestSerialPort::opensWithTheDeviceLineSettings()
{
    QSignalSpy names(m_port.get(), &p2serial::newname);
    m_port->portopen(ptyIndex());

    QVERIFY(m_port->serialopen);
    QCOMPARE(m_port->portname, m_pty->slavePath());
    QCOMPARE(names.size(), 1);
    QCOMPARE(names.at(0).at(0).toString(), m_pty->slavePath());
    QCOMPARE(config::getstring(QStringLiteral("controlport")), m_pty->slavePath());
    QVERIFY(m_alerts.isEmpty());

    termios line{};
    QCOMPARE(tcgetattr(m_pty->slaveFd(), &line), 0);
    QCOMPARE(cfgetospeed(&line), speed_t(B38400));
    QCOMPARE(cfgetispeed(&line), speed_t(B38400));
    QVERIFY(line.c_cflag & CSTOPB);
    QVERIFY(!(line.c_cflag & CRTSCTS));
    QVERIFY(!(line.c_iflag & (IXON | IXOFF)));
    // A pseudo-terminal always reports 8 bits without parity; the endpoint's own request:
    QCOMPARE(m_port->parity(), QSerialPort::OddParity);
    QCOMPARE(m_port->dataBits(), QSerialPort::Data8);
    QCOMPARE(m_port->stopBits(), QSerialPort::TwoStop);
    QCOMPARE(m_port->flowControl(), QSerialPort::NoFlowControl);
}

void TestSerialPort::moduleFramesReachTheDevice()
{
    m_port->portopen(ptyIndex());
    QVERIFY(m_port->serialopen);

    p2sr::p2restart();
    QCOMPARE(m_pty->read(4).toHex(' '), QByteArray("01 b0 04 b5"));
    p2sr::p2reset();
    QCOMPARE(m_pty->read(4).toHex(' '), QByteArray("01 b0 05 b6"));
}

void TestSerialPort::deviceFramesArriveInOrder()
{
    m_port->portopen(ptyIndex());
    QStringList frames;
    connect(m_port.get(), &p2serial::parseinput, this, [&frames](const p2sr::Frame& frame) {
        frames.append(QString::number(frame[0], 16) + QLatin1Char(' ') +
                      QString::number(frame[1], 16));
    });

    m_pty->write(bytes("100111"
                       "18b006"));
    m_pty->write(bytes("0100010a261211"
                       "23"
                       "11b001c2"));

    QTRY_COMPARE(frames, (QStringList{"10 1", "18 b0", "11 b0"}));
}

void TestSerialPort::readerTakesOverDuringDownload()
{
    m_port->portopen(ptyIndex());
    int frames = 0;
    connect(m_port.get(), &p2serial::parseinput, this, [&frames] { ++frames; });

    // While the reader owns the port, the data-available path reads nothing.
    m_port->serialthread1->p2thread = true;
    m_port->serialthread1->stop();
    m_pty->write(bytes("11b001c2"));
    QTRY_VERIFY(m_port->bytesAvailable() == 4);
    QCOMPARE(frames, 0);

    // The reader, once running, takes what arrives.
    m_port->serialthread1->start();
    m_pty->write(bytes("11b001c2"));
    QTRY_COMPARE(frames, 2);
    QCOMPARE(m_port->bytesAvailable(), 0);
}

void TestSerialPort::indexPastTheListFails()
{
    QSignalSpy names(m_port.get(), &p2serial::newname);
    m_port->portopen(ptyIndex() + 1);

    QCOMPARE(m_alerts, QStringList{QStringLiteral("Error opening Controller serial port")});
    QVERIFY(!m_port->serialopen);
    QCOMPARE(m_port->portname, QStringLiteral("None"));
    QCOMPARE(names.size(), 1);
    QCOMPARE(names.at(0).at(0).toString(), QStringLiteral("None"));
    QVERIFY(config::getstring(QStringLiteral("controlport")).isEmpty());
}

void TestSerialPort::noPortClosesWithoutMessage()
{
    m_port->portopen(ptyIndex());
    QVERIFY(m_port->isOpen());
    QVERIFY(QFile::remove(config::path()));

    m_port->portopen(-1);

    QVERIFY(!m_port->isOpen());
    QVERIFY(!m_port->serialopen);
    QCOMPARE(m_port->portname, QStringLiteral("None"));
    QVERIFY(m_alerts.isEmpty());
    QVERIFY(!QFile::exists(config::path())); // "controlport" was not written again
}

void TestSerialPort::closeEndsTheReader()
{
    m_port->portopen(ptyIndex());
    m_port->serialthread1->p2thread = true;

    m_port->portclose();

    QVERIFY(!m_port->isOpen());
    QVERIFY(!m_port->serialopen);
    QVERIFY(!m_port->serialthread1->p2thread);
    QVERIFY(!m_port->serialthread1->p2open);
    QVERIFY(!m_port->serialthread1->running());
}

void TestSerialPort::tunesTheLineOnOpen()
{
    QList<int> tuned;
    const auto previous = p2serial::installLineTuner([&tuned](int handle) {
        tuned.append(handle);
        return p2serial::lowLatency(handle);
    });
    m_port->portopen(ptyIndex());
    p2serial::installLineTuner(previous);

    QCOMPARE(tuned, QList<int>{static_cast<int>(m_port->handle())});
    // A pseudo-terminal is no UART: the request is refused and the port works on.
    QVERIFY(!p2serial::lowLatency(static_cast<int>(m_port->handle())));
    QVERIFY(m_port->serialopen);
    QCOMPARE(m_port->error(), QSerialPort::NoError);
}

void TestSerialPort::staleInputIsDropped()
{
    QStringList frames;
    connect(m_port.get(), &p2serial::parseinput, this,
            [&frames](const p2sr::Frame& frame) { frames.append(QString::number(frame[0], 16)); });
    m_pty->write(bytes("100111")); // waiting in the line before the port is opened
    m_port->portopen(ptyIndex());
    m_pty->write(bytes("200121"));
    QTRY_COMPARE(frames, QStringList{"20"});
}

void TestSerialPort::openFailureSaysWhy_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("detail");

    QTest::newRow("device gone") << "gone"
                                 << "is gone";
    QTest::newRow("busy in another program") << "busy"
                                             << "in use by another program";
}

void TestSerialPort::openFailureSaysWhy()
{
    QFETCH(QString, situation);
    QFETCH(QString, detail);

    QSerialPort other;
    QString path = m_pty->slavePath();
    if (situation == "gone") {
        path = QStringLiteral("/dev/quillet-unplugged");
    } else {
        other.setPortName(path);
        QVERIFY(other.open(QIODevice::ReadWrite));
    }
    m_port->setPortList(PortList({path}));
    m_port->portopen(ptyIndex());

    QCOMPARE(m_alerts, QStringList{"Error opening Controller serial port"});
    QVERIFY2(m_details.at(0).contains(detail), qPrintable(m_details.at(0)));
    QVERIFY(m_details.at(0).contains(path));
    QCOMPARE(m_port->portname, QStringLiteral("None"));
}

void TestSerialPort::unpluggedPortIsClosedOnce()
{
    m_port->portopen(ptyIndex());
    m_port->serialthread1->p2thread = true; // in the middle of a download
    QSignalSpy names(m_port.get(), &p2serial::newname);

    m_pty->hangUp();
    QTRY_VERIFY(!m_port->serialopen);
    QVERIFY(!m_port->isOpen());
    QVERIFY(!m_port->serialthread1->p2thread);
    QCOMPARE(m_port->portname, QStringLiteral("None"));
    QCOMPARE(names.size(), 1);
    QTest::qWait(100); // nothing more arrives from a closed port
    QCOMPARE(m_alerts, QStringList{"Controller serial port lost"});

    // a new choice of port works
    Pty replacement;
    m_port->setPortList(PortList({replacement.slavePath()}));
    m_port->portopen(ptyIndex());
    QVERIFY(m_port->serialopen);
    p2sr::p2restart();
    QCOMPARE(replacement.read(4).toHex(' '), QByteArray("01 b0 04 b5"));
}

QTEST_GUILESS_MAIN(TestSerialPort)
#include "tst_serialport.moc"
