#include "Desktop.h"
#include "VersionRadio.h"
#include "World.h"
#include "litkey.h"
#include "prefw.h"
#include "serialthread.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <array>

// The console against quillet-devsim, the simulated device, over a pseudo-terminal: what
// an operator does, end to end.
namespace {

// quillet-devsim as a child process; its first line of output is the device's path.
class Device
{
public:
    explicit Device(QStringList options)
    {
        m_process.setProgram(QStringLiteral(QUILLET_DEVSIM));
        m_process.setArguments(options);
        m_process.start();
        if (m_process.waitForReadyRead(5000))
            path = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }
    ~Device()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
    }
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    // Everything the device logged with --trace so far.
    QByteArray trace()
    {
        m_traced += m_process.readAllStandardError();
        return m_traced;
    }

    QString path;

private:
    QProcess m_process;
    QByteArray m_traced;
};

QByteArray image(int size)
{
    QByteArray data;
    data.reserve(size);
    for (int i = 0; i < size; ++i)
        data.append(static_cast<char>((i * 131 + i / 256) & 0xFF));
    return data;
}

QString binFile(const QTemporaryDir& dir, const QByteArray& data)
{
    const QString path = dir.filePath(QStringLiteral("firmware.bin"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QByteArray(16384, '\x5A'));
        file.write(data);
    }
    return path;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs the heartbeat while the event loop takes in what the device sends.
void ticks(World& world, int count)
{
    for (int i = 0; i < count; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        world.tick();
    }
}

// Waits for the device's answer to a command, then lets the countdown run out, until the
// device has nothing more to say.
void settle(World& world)
{
    prefw& c = world.console();
    QVERIFY(World::waitUntil([&c] { return c.enabdelay <= 2; }, 5000));
    for (int round = 0; round < 20 && c.enabdelay > 0; ++round) {
        while (c.enabdelay > 0)
            ticks(world, 1);
        QTest::qWait(30); // a later answer may start another countdown
    }
    QCOMPARE(c.enabdelay, 0);
}

// Enable, File (answered with the image), Start.
void startDownload(World& world, const QString& file)
{
    prefw& c = world.console();
    const auto previous =
        Desktop::installChooser([file](QWidget*, const Desktop::FileRequest&) { return file; });
    c.KReset->setEnabled(true);
    c.KReset->click(); // the device answers; the countdown ends
    settle(world);
    c.kenabsw->click();
    c.kfile->click();
    Desktop::installChooser(previous);
    c.kstart->click();
}

bool contentsShown(const prefw& c)
{
    return c.TextArea1[0]->toPlainText() == QLatin1String("LX-240 firmware 1.5 (factory)") &&
           c.TextArea1[1]->toPlainText() == QLatin1String("LX-240 firmware 1.6 (update)") &&
           c.corerev->text() == QLatin1String("1.5") &&
           c.coredate->text() == QLatin1String("09\\12\\25") && c.version1[0]->isChecked() &&
           c.TextArea1[2]->toPlainText() == c.TextArea1[0]->toPlainText();
}

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void readContents();
    void fullDownload();
    void abortHalfWay();
    void noisyLine();
    void silentDevice();

private:
    QString m_previousAlertText;
    Alert::Handler m_previousAlert;
};

void TestEndToEnd::init()
{
    QVERIFY2(QFile::exists(QStringLiteral(QUILLET_DEVSIM)), "quillet-devsim is not built");
}

void TestEndToEnd::cleanup() {}

void TestEndToEnd::readContents()
{
    Device device({QStringLiteral("--board-revision")});
    QVERIFY(!device.path.isEmpty());
    World world;
    world.startWithDevice(device.path);
    prefw& c = world.console();

    c.kmonitor->click(); // the device switches its monitor on and reports it
    QTRY_VERIFY(c.kmonitor->isChecked() && c.kcoms->lit);
    c.kmonitor->click();
    QTRY_VERIFY(!c.kmonitor->isChecked());
    settle(world); // the first status selected version 1's buttons: a short countdown

    c.kreadeprom->click();
    QCOMPARE(c.enabdelay, 100);
    QTRY_VERIFY(c.corerev->text().startsWith(QLatin1String("core rev")));
    QCOMPARE(c.corerev->text(), QStringLiteral("core rev - 01 02 0A FF "));
    QCOMPARE(c.TextArea1[0]->toPlainText(), QStringLiteral("LX-240 firmware 1.5 (factory)"));
    QCOMPARE(c.TextArea1[1]->toPlainText(), QStringLiteral("LX-240 firmware 1.6 (update)"));
    QCOMPARE(c.coredate->text(), QStringLiteral("09\\12\\25"));
    QVERIFY(c.version1[0]->isChecked() && c.version2[0]->isChecked());
    QVERIFY(!c.kmonitor->isChecked());
    QCOMPARE(c.enabdelay, 2); // the answer cut the countdown short

    c.version2[1]->click(); // "Version 2": acknowledged, then a status on request
    settle(world);
    c.kreadeprom->click();
    QTRY_COMPARE(c.corerev->text(), QStringLiteral("core rev - 01 02 0A FF "));
    c.KReset->setEnabled(true);
    const auto quiet = Alert::install([](const QString&, const QString&) {});
    c.KReset->click(); // the status after a reset shows the revision
    Alert::install(quiet);
    QTRY_COMPARE(c.corerev->text(), QStringLiteral("1.5"));
    QVERIFY(c.version1[1]->isChecked() && c.version2[1]->isChecked());
    QCOMPARE(c.TextArea1[2]->toPlainText(), QStringLiteral("LX-240 firmware 1.6 (update)"));
}

void TestEndToEnd::fullDownload()
{
    QTemporaryDir dir;
    const QString received = dir.filePath(QStringLiteral("received.bin"));
    Device device({QStringLiteral("--image-out"), received});
    World world;
    world.startWithDevice(device.path);
    prefw& c = world.console();
    const auto quiet = Alert::install([](const QString&, const QString&) {});
    const QByteArray data = image(64 * 1024 + 5);

    startDownload(world, binFile(dir, data));
    QVERIFY(!c.kclose->isEnabled());
    QVERIFY(
        World::waitUntil([&c] { return c.lcount->text() == QLatin1String("Finished"); }, 60000));
    Alert::install(quiet);

    QTRY_COMPARE(fileBytes(received).size(), data.size());
    QCOMPARE(fileBytes(received), data);
    QVERIFY(c.kclose->isEnabled());
    QVERIFY(!c.p2serial1.serialthread1->p2thread);
}

void TestEndToEnd::abortHalfWay()
{
    QTemporaryDir dir;
    const QString received = dir.filePath(QStringLiteral("received.bin"));
    Device device({QStringLiteral("--image-out"), received, QStringLiteral("--pace")});
    World world;
    world.startWithDevice(device.path);
    prefw& c = world.console();
    const auto quiet = Alert::install([](const QString&, const QString&) {});
    const QByteArray data = image(4000);
    const QString file = binFile(dir, data);

    startDownload(world, file);
    QVERIFY(World::waitUntil([&c] { return c.lcount->text().toInt() >= 800; }, 10000));
    c.TextArea1[0]->clear();
    QTest::mouseClick(c.kabort, Qt::LeftButton);
    QCOMPARE(c.lcount->text(), QStringLiteral("Aborted"));
    // the device restarted: it reports its names again
    QTRY_COMPARE(c.TextArea1[0]->toPlainText(), QStringLiteral("LX-240 firmware 1.5 (factory)"));
    QVERIFY(!QFile::exists(received));

    settle(world);
    c.KReset->click(); // Enable comes back when the reset's countdown ends
    settle(world);
    c.kenabsw->click(); // the file chosen before is sent again from its first image byte
    c.kstart->click();
    QVERIFY(
        World::waitUntil([&c] { return c.lcount->text() == QLatin1String("Finished"); }, 20000));
    Alert::install(quiet);
    QTRY_COMPARE(fileBytes(received), data);
}

void TestEndToEnd::noisyLine()
{
    QTemporaryDir dir;
    const QString received = dir.filePath(QStringLiteral("received.bin"));
    Device device({QStringLiteral("--image-out"), received, QStringLiteral("--noise-rate"),
                   QStringLiteral("0.05"), QStringLiteral("--bad-checksum-rate"),
                   QStringLiteral("0.02"), QStringLiteral("--request-timeout"),
                   QStringLiteral("100"), QStringLiteral("--seed"), QStringLiteral("7")});
    World world;
    world.startWithDevice(device.path);
    prefw& c = world.console();
    QSignalSpy skipped(&c.p2serial1, &p2serial::debugerror);
    const auto quiet = Alert::install([](const QString&, const QString&) {});

    // A frame lost to the noise leaves something unshown; the operator reads again.
    for (int attempt = 0; attempt < 10 && !contentsShown(c); ++attempt) {
        c.kreadeprom->click();
        QTest::qWait(300);
        ticks(world, 100);
    }
    QVERIFY(contentsShown(c));

    const QByteArray data = image(2048 + 3);
    startDownload(world, binFile(dir, data));
    QVERIFY(
        World::waitUntil([&c] { return c.lcount->text() == QLatin1String("Finished"); }, 60000));
    Alert::install(quiet);
    QTRY_COMPARE(fileBytes(received), data);
    QVERIFY(!skipped.isEmpty());
    QVERIFY(skipped.first().first().toString().startsWith(QLatin1String("EParse ")));
}

void TestEndToEnd::silentDevice()
{
    Device device(
        {QStringLiteral("--silent-after"), QStringLiteral("1"), QStringLiteral("--trace")});
    World world;
    world.startWithDevice(device.path);
    prefw& c = world.console();

    ticks(world, 50); // the watchdog asks; the device answers this once
    QTRY_VERIFY(c.kcoms->lit);
    QTRY_COMPARE(c.comscheck, 0);

    ticks(world, 50);
    QVERIFY(c.kcoms->lit); // 50 silent ticks: still lit
    ticks(world, 1);
    QVERIFY(!c.kcoms->lit); // the 51st: dark
    ticks(world, 99);
    // asked once when the link was new, then at 50, 100 and 150 silent ticks
    QTRY_COMPARE(device.trace().count("rx   00 11 11"), 4);
    QTest::qWait(50);
    QCOMPARE(device.trace().count("rx   00 11 11"), 4);
    QVERIFY(!c.kcoms->lit);
}

QTEST_MAIN(TestEndToEnd)
#include "tst_e2e.moc"
