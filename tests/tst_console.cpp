#include "Bytes.h"
#include "ProgressWheel.h"
#include "VersionRadio.h"
#include "World.h"
#include "litkey.h"
#include "p2view.h"
#include "portselect.h"
#include "prefw.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

namespace {

// The seven controls the enable countdown locks, in the order it sets them.
QList<QWidget*> lockedByCountdown(const prefw& c)
{
    return {c.kenabsw,     c.version2[0], c.version2[1], c.version1[0],
            c.version1[1], c.kverify,     c.kreadeprom};
}

} // namespace

class TestConsole : public QObject
{
    Q_OBJECT

private slots:
    void startupShowsOnlyTheSplash();
    void heartbeatRunsBeforeRun();
    void runShowsTheConsole();
    void windowAndStartingStates();
    void controlsLandWhereTheTablesSay_data();
    void controlsLandWhereTheTablesSay();
    void watchdogAsksAfterFiftySilentTicks();
    void framesKeepTheLampLit();
    void lampGoesDarkOnThe51stSilentTick();
    void everyFrameLightsTheLamp_data();
    void everyFrameLightsTheLamp();
    void countdownLocksTheKeys();
    void acknowledgeCutsTheCountdown();
    void viewCommsShowsAndHides();
    void closeClosesThePort();
};

void TestConsole::startupShowsOnlyTheSplash()
{
    World world;
    world.start();

    QVERIFY(world.splash->isVisible());
    QVERIFY(!world.console().isVisible());
    QVERIFY(!world.view().isVisible());
    QCOMPARE(world.splash->windowTitle(), QStringLiteral("Quillet 1.0"));
    QCOMPARE(world.splash->centralWidget()->size(), QSize(600, 400));
}

void TestConsole::heartbeatRunsBeforeRun()
{
    World world;
    world.start(true);
    QVERIFY(world.splash->Timer1.isActive());
    QCOMPARE(world.splash->Timer1.interval(), 50);

    // The console is hidden, yet its tick runs.
    QTRY_VERIFY(world.console().comscheck >= 2);
    QVERIFY(!world.console().isVisible());
}

void TestConsole::runShowsTheConsole()
{
    World world;
    world.start(true);
    world.splash->BevelButton1->click();

    QVERIFY(world.console().isVisible());
    QVERIFY(!world.splash->isVisible());
    // beside the splash window, top edges aligned
    const QRect splash = world.splash->frameGeometry();
    QCOMPARE(world.console().frameGeometry().topLeft(),
             QPoint(splash.left() + splash.width(), splash.top()));
    QVERIFY(world.splash->Timer1.isActive());
    const int ticks = world.console().comscheck;
    QTRY_VERIFY(world.console().comscheck > ticks);
}

void TestConsole::windowAndStartingStates()
{
    World world;
    world.start();
    prefw& c = world.console();

    QCOMPARE(c.windowTitle(), QStringLiteral("Quillet"));
    QCOMPARE(c.centralWidget()->size(), QSize(348, 456));
    QVERIFY(!(c.windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint |
                                 Qt::WindowMaximizeButtonHint)));
    QCOMPARE(c.TabPanel1->currentIndex(), 0);
    QCOMPARE(c.TabPanel1->tabText(3), QStringLiteral("Debug"));

    QVERIFY(!c.kenabsw->isEnabled());
    QVERIFY(!c.kfile->isEnabled());
    QVERIFY(!c.kstart->isEnabled());
    QVERIFY(!c.KReset->isEnabled());
    QVERIFY(c.pbar->isHidden());
    QVERIFY(c.kabort->isHidden());
    QVERIFY(c.ProgressWheel1[0]->isHidden() && c.ProgressWheel1[1]->isHidden());
    QVERIFY(c.kverify->isHidden() && c.ktest->isHidden()); // "showtest" absent: false
    for (VersionRadio* radio : {c.version1[0], c.version1[1], c.version2[0], c.version2[1]})
        QVERIFY(!radio->isChecked());
    QCOMPARE(c.dbuglen->currentText(), QStringLiteral("Off"));
    QCOMPARE(c.corerev->text(), QStringLiteral("?.?"));
    QCOMPARE(c.coredate->text(), QStringLiteral("?\\?\\?"));
    QCOMPARE(c.Label5->text(), QStringLiteral("S/W Date yy\\mm\\dd"));
    QCOMPARE(c.lcount->text(), QStringLiteral("0"));

    const QStringList help = c.Label2->text().split(QLatin1Char('\n'));
    QCOMPARE(help.size(), 12);
    QCOMPARE(help[1], QStringLiteral("The LX-240 has two ports, RS422-A  Input and RS422-B "
                                     "Output, defined by the connector pinout."));
    QCOMPARE(help[2], QString());
    QCOMPARE(help[4], QStringLiteral("Connect the LX-240  RS422-B Output to port F on the KT-9"));

    // the lamps as the console sets them when it opens
    QVERIFY(!c.kcoms->lit);
    QCOMPARE(c.kcoms->caption, QStringLiteral("No Coms"));
    QCOMPARE(c.kcoms->litcaption, QStringLiteral("Good Coms"));
    QCOMPARE(c.kcoms->litcolor, QColor(0xC5, 0xFF, 0xC5));
    QCOMPARE(c.kcoms->textsize, 11);
    QCOMPARE(c.kabort->caption, QStringLiteral("Abort"));
    QCOMPARE(c.kabort->offcolor, QColor(0xFF, 0x00, 0x00));
    QCOMPARE(c.kabort->TextOffColor, QColor(0xFF, 0xFF, 0xFF));
}

void TestConsole::controlsLandWhereTheTablesSay_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QRect>("window");

    QTest::newRow("tab panel") << 0 << "TabPanel1" << QRect(12, 2, 323, 411);
    QTest::newRow("lamp") << 0 << "kcoms" << QRect(106, 424, 100, 20);
    QTest::newRow("close") << 0 << "kclose" << QRect(237, 424, 80, 20);
    QTest::newRow("port list in its group") << 0 << "portselect1" << QRect(41, 58, 203, 28);
    QTest::newRow("second version radio") << 0 << "version1_1" << QRect(291, 266, 20, 19);
    QTest::newRow("read contents") << 0 << "kreadeprom" << QRect(83, 372, 197, 34);
    QTest::newRow("start key") << 1 << "kstart" << QRect(179, 267, 60, 18);
    QTest::newRow("progress bar") << 1 << "pbar" << QRect(30, 365, 288, 20);
    QTest::newRow("version 2 radio") << 1 << "version2_1" << QRect(198, 129, 100, 20);
    QTest::newRow("help text") << 2 << "Label2" << QRect(23, 50, 302, 349);
    QTest::newRow("debug address") << 3 << "dbugaddr" << QRect(69, 73, 65, 22);
    QTest::newRow("debug length") << 3 << "dbuglen" << QRect(147, 72, 59, 20);
}

void TestConsole::controlsLandWhereTheTablesSay()
{
    QFETCH(int, tab);
    QFETCH(QString, control);
    QFETCH(QRect, window);

    World world;
    world.start();
    prefw& c = world.console();
    const QList<QWidget*> all = {c.TabPanel1,   c.kcoms,      c.kclose,   c.portselect1,
                                 c.version1[1], c.kreadeprom, c.kstart,   c.pbar,
                                 c.version2[1], c.Label2,     c.dbugaddr, c.dbuglen};
    const QStringList names = {"TabPanel1",  "kcoms",      "kclose",   "portselect1",
                               "version1_1", "kreadeprom", "kstart",   "pbar",
                               "version2_1", "Label2",     "dbugaddr", "dbuglen"};
    c.show();
    c.TabPanel1->setCurrentIndex(tab);
    QWidget* w = all.at(names.indexOf(control));
    QTRY_COMPARE(QRect(w->mapTo(c.centralWidget(), QPoint(0, 0)), w->size()), window);
}

void TestConsole::watchdogAsksAfterFiftySilentTicks()
{
    World world;
    world.writeSettings({portselect::kKey, world.device.slavePath()});
    world.start();
    QVERIFY(world.console().p2serial1.serialopen);

    world.tick(49);
    QCOMPARE(world.device.read(3, 100), QByteArray());
    world.tick();
    QCOMPARE(world.device.read(3).toHex(' '), QByteArray("00 11 11"));
    world.tick(49);
    QCOMPARE(world.device.read(3, 100), QByteArray());
    world.tick();
    QCOMPARE(world.device.read(3).toHex(' '), QByteArray("00 11 11"));
    QVERIFY(!world.console().kcoms->lit);
}

void TestConsole::framesKeepTheLampLit()
{
    World world;
    world.writeSettings({portselect::kKey, world.device.slavePath()});
    world.start();
    prefw& c = world.console();
    world.tick();

    for (int round = 0; round < 4; ++round) {
        world.device.write(bytes("100111"));
        QTRY_COMPARE(c.comscheck, 0);
        QVERIFY(c.kcoms->lit);
        world.tick(49);
        QVERIFY(c.kcoms->lit);
    }
    QCOMPARE(world.device.read(3, 100), QByteArray()); // no device-type request
}

void TestConsole::lampGoesDarkOnThe51stSilentTick()
{
    World world;
    world.writeSettings({portselect::kKey, world.device.slavePath()});
    world.start();
    prefw& c = world.console();
    world.device.write(bytes("100111"));
    QTRY_VERIFY(c.kcoms->lit);

    world.tick(50);
    QCOMPARE(world.device.read(3).toHex(' '), QByteArray("00 11 11"));
    QVERIFY(c.kcoms->lit);
    world.tick();
    QVERIFY(!c.kcoms->lit);
}

void TestConsole::everyFrameLightsTheLamp_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("acknowledge") << bytes("100111");
    QTest::newRow("block request") << bytes("11b001c2");
    QTest::newRow("lamp report, not logged") << bytes("14b90a000000d7");
    QTest::newRow("other lamp report, ignored") << bytes("11b903cd");
    QTest::newRow("group 2") << bytes("200121");
}

void TestConsole::everyFrameLightsTheLamp()
{
    QFETCH(QByteArray, frame);
    World world;
    world.start();
    prefw& c = world.console();
    world.tick(60);
    QVERIFY(!c.kcoms->lit);

    p2sr::Frame buffer{};
    std::copy(frame.cbegin(), frame.cend(), buffer.begin());
    c.p2serial1_parseinput(buffer);
    QVERIFY(c.kcoms->lit);
    QCOMPARE(c.comscheck, 0);
}

void TestConsole::countdownLocksTheKeys()
{
    World world;
    world.start();
    prefw& c = world.console();

    world.tick(5);
    QVERIFY(!c.kenabsw->isEnabled()); // disabled from the start until a countdown ends

    c.Setenabdelay();
    QVERIFY(!c.kenabsw->isEnabled());
    QVERIFY(c.kreadeprom->isEnabled()); // the others wait for the next tick
    world.tick();
    for (QWidget* control : lockedByCountdown(c))
        QVERIFY2(!control->isEnabled(), qPrintable(control->metaObject()->className()));
    QVERIFY(!c.ProgressWheel1[0]->isHidden() && !c.ProgressWheel1[1]->isHidden());

    world.tick(98);
    QVERIFY(!c.kreadeprom->isEnabled());
    world.tick(); // the 100th tick after the call
    for (QWidget* control : lockedByCountdown(c))
        QVERIFY(control->isEnabled());
    QVERIFY(c.ProgressWheel1[0]->isHidden() && c.ProgressWheel1[1]->isHidden());
    QCOMPARE(c.enabdelay, 0);
}

void TestConsole::acknowledgeCutsTheCountdown()
{
    World world;
    world.start();
    prefw& c = world.console();

    c.Rxack(); // no countdown running: nothing changes
    QCOMPARE(c.enabdelay, 0);

    c.Setenabdelay();
    world.tick(3);
    c.Rxack();
    QCOMPARE(c.enabdelay, 2);
    world.tick();
    QVERIFY(!c.kenabsw->isEnabled());
    world.tick();
    QVERIFY(c.kenabsw->isEnabled());
    QVERIFY(c.kverify->isEnabled());
}

void TestConsole::viewCommsShowsAndHides()
{
    World world;
    world.start();
    world.console().kview->click();
    QVERIFY(world.view().isVisible());
    world.console().kview->click();
    QVERIFY(!world.view().isVisible());
}

void TestConsole::closeClosesThePort()
{
    World world;
    world.writeSettings({portselect::kKey, world.device.slavePath()});
    world.start();
    prefw& c = world.console();
    QVERIFY(c.p2serial1.isOpen());

    c.kclose->click();
    QVERIFY(!c.p2serial1.isOpen());
    QVERIFY(!c.p2serial1.serialopen);
}

QTEST_MAIN(TestConsole)
#include "tst_console.moc"
