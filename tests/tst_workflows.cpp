#include "Bytes.h"
#include "Desktop.h"
#include "TrafficModel.h"
#include "VersionRadio.h"
#include "World.h"
#include "litkey.h"
#include "p2view.h"
#include "portselect.h"
#include "prefw.h"
#include "serialthread.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSerialPort>
#include <QStandardPaths>
#include <QTest>

namespace {

QByteArray withSum(QByteArray frame)
{
    std::uint8_t sum = 0;
    for (const char c : std::as_const(frame))
        sum = static_cast<std::uint8_t>(sum + static_cast<std::uint8_t>(c));
    return frame.append(static_cast<char>(sum));
}

p2sr::Frame frameBuffer(const QByteArray& frame)
{
    p2sr::Frame buffer{};
    std::copy_n(frame.constData(), std::min<qsizetype>(frame.size(), 21), buffer.begin());
    return buffer;
}

// A version name chunk: version, offset, eight name bytes.
p2sr::Frame nameChunk(int version, int offset, const QByteArray& eight)
{
    QByteArray frame = bytes("1bb003");
    frame.append(static_cast<char>(version));
    frame.append(static_cast<char>(offset));
    frame.append(eight.leftJustified(8, '\0', true));
    return frameBuffer(withSum(frame));
}

// Sends a whole name as its ten chunks.
void sendName(prefw& console, int version, const QByteArray& name)
{
    const QByteArray padded = name.leftJustified(80, '\0', true);
    for (int offset = 0; offset <= 72; offset += 8)
        console.Rxname(nameChunk(version, offset, padded.mid(offset, 8)));
}

// A .bin file: the 16384-byte header the device never sees, then the image.
QString binFile(const QTemporaryDir& dir, const QByteArray& image, const QString& name = "fw.bin")
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QByteArray(16384, '\xEE'));
        file.write(image);
    }
    return path;
}

QByteArray image(int size)
{
    QByteArray data;
    for (int i = 0; i < size; ++i)
        data.append(static_cast<char>((i * 37 + 11) & 0xFF));
    return data;
}

// Answers the file dialogs with a chosen path and remembers what they were asked.
class Chooser
{
public:
    Chooser()
    {
        m_previous = Desktop::installChooser([this](QWidget*, const Desktop::FileRequest& r) {
            requests.append(r);
            return answer;
        });
    }
    ~Chooser() { Desktop::installChooser(m_previous); }

    QString answer;
    QList<Desktop::FileRequest> requests;

private:
    Desktop::FileChooser m_previous;
};

// Brings the console to Ready: a countdown has run to its end, cut short by the device's
// acknowledge so the link watchdog stays quiet.
void makeReady(World& world)
{
    world.console().Setenabdelay();
    world.console().Rxack();
    world.tick(2);
}

} // namespace

class TestWorkflows : public QObject
{
    Q_OBJECT

private slots:
    void typicalRun();
    void enableRefusals();
    void abortWithoutDownload();
    void resetEmptiesTheCountAndWarns();
    void secondDownloadStartsAgain();
    void imageSizes_data();
    void imageSizes();
    void requestWithoutImageSendsNothing();
    void unreadableImage();
    void hugeImageShowsTrueProgress();
    void cancelledDialogKeepsTheImage();
    void shortOrMissingFiles_data();
    void shortOrMissingFiles();
    void fileShrinkingDuringDownload();
    void adapterUnpluggedDuringDownload();

    void names();
    void nameEdges();
    void statusReport();
    void versionClicks_data();
    void versionClicks();

    void readContents();
    void revisionAndDate_data();
    void revisionAndDate();
    void verifyAndTest();
    void hardwareMonitor();
    void debugPeek();
};

void TestWorkflows::typicalRun()
{
    World world;
    world.startWithDevice();
    prefw& c = world.console();
    world.splash->BevelButton1->click();
    QTemporaryDir dir;
    const QByteArray data = image(8 * 5 + 3); // not a multiple of 8
    Chooser chooser;
    chooser.answer = binFile(dir, data);

    c.version2[1]->click(); // "Version 2"
    QCOMPARE(world.nextFrame(), QByteArray("02 b0 08 01 bb"));
    QVERIFY(c.version1[1]->isChecked() && c.version2[1]->isChecked());
    world.tick();
    world.device.write(bytes("100111"));
    QTRY_COMPARE(c.enabdelay, 2);
    world.tick();
    QVERIFY(!c.kenabsw->isEnabled());
    world.tick();
    QVERIFY(c.kenabsw->isEnabled());

    c.kenabsw->click();
    QCOMPARE(world.nextFrame(), QByteArray("01 b0 00 b1"));
    c.kfile->click();
    QCOMPARE(world.nextFrame(), QByteArray("02 b0 0b 00 bd"));
    QCOMPARE(chooser.requests.at(0).title, QStringLiteral("Select a Bin file"));
    QCOMPARE(chooser.requests.at(0).filter, QStringLiteral("binary (*.bin *.BIN)"));
    QCOMPARE(c.desc->toPlainText(), QStringLiteral("fw.bin"));
    QCOMPARE(c.pbar->maximum(), data.size());
    QVERIFY(c.kstart->isEnabled());

    c.kstart->click();
    QVERIFY(!c.kclose->isEnabled());
    QVERIFY(c.kabort->isVisible());
    QByteArray received;
    QByteArray frame = world.nextFrame();
    QVERIFY(frame.startsWith("09 b0 01"));
    for (;;) {
        const QByteArray block = QByteArray::fromHex(frame);
        received += block.mid(3, block.size() - 4);
        QCOMPARE(c.lcount->text(), QString::number(received.size()));
        QCOMPARE(c.pbar->value(), received.size());
        world.device.write(bytes("11b001c2")); // the device asks for the next block
        frame = world.nextFrame();
        if (frame == "01 b0 01 b2")
            break;
        QVERIFY2(frame.size() > 0 && received.size() < data.size(), frame.constData());
    }
    QCOMPARE(received, data);
    QTRY_COMPARE(c.lcount->text(), QStringLiteral("Finished"));
    QVERIFY(c.kclose->isEnabled());
    QVERIFY(c.KReset->isEnabled());
    QVERIFY(!c.kstart->isEnabled() && !c.kfile->isEnabled());
    QVERIFY(!c.kabort->isVisible());
    QVERIFY(c.pbar->isHidden());
    QVERIFY(!c.p2serial1.serialthread1->p2thread);
}

void TestWorkflows::enableRefusals()
{
    World world;
    world.start(); // no port
    prefw& c = world.console();
    makeReady(world);

    c.kmonitor->setChecked(true);
    c.kenabsw->click();
    c.kmonitor->setChecked(false);
    c.kenabsw->click();

    QCOMPARE(world.alerts, (QStringList{"Disable H/W Monitor First", "Serial Not Open"}));
    QVERIFY(c.kenabsw->isEnabled());
    QVERIFY(!c.kfile->isEnabled());
    QVERIFY(!c.KReset->isEnabled());
}

void TestWorkflows::abortWithoutDownload()
{
    World world;
    world.startWithDevice();
    prefw& c = world.console();

    world.menus.FileAbort->setEnabled(true);
    world.menus.FileAbort->trigger();

    QCOMPARE(world.nextFrame(), QByteArray("01 b0 04 b5"));
    QCOMPARE(c.lcount->text(), QStringLiteral("Aborted"));
    QVERIFY(c.KReset->isEnabled());
    QVERIFY(!c.kfile->isEnabled() && !c.kstart->isEnabled());
    QVERIFY(c.kabort->isHidden());

    c.kabort->setEnabled(true); // as during a download: the abort key does the same
    c.kabort->show();
    QTest::mouseClick(c.kabort, Qt::LeftButton);
    QCOMPARE(world.nextFrame(), QByteArray("01 b0 04 b5"));
}

void TestWorkflows::resetEmptiesTheCountAndWarns()
{
    World world;
    world.startWithDevice();
    prefw& c = world.console();
    QByteArray frameAtWarning;
    Alert::install([&](const QString& text, const QString&) {
        world.alerts.append(text);
        frameAtWarning = world.nextFrame(200); // the reset is on the line before the warning
    });
    c.Abort();
    QCOMPARE(world.nextFrame(), QByteArray("01 b0 04 b5"));

    c.KReset->click();
    QCOMPARE(frameAtWarning, QByteArray("01 b0 05 b6"));
    QCOMPARE(world.alerts, QStringList{"Now enable H/W Monitor"});
    QCOMPARE(c.lcount->text(), QString());
    QVERIFY(!c.kfile->isEnabled() && !c.kstart->isEnabled());
    QVERIFY(c.KReset->isEnabled());
    QVERIFY(!c.kenabsw->isEnabled());
    QCOMPARE(c.enabdelay, 100);
}

void TestWorkflows::secondDownloadStartsAgain()
{
    World world;
    world.startWithDevice();
    prefw& c = world.console();
    QTemporaryDir dir;
    Chooser chooser;
    chooser.answer = binFile(dir, bytes("0102030405"));
    makeReady(world);

    for (int round = 0; round < 2; ++round) {
        c.kenabsw->click();
        QCOMPARE(world.nextFrame(), QByteArray("01 b0 00 b1"));
        if (round == 0) {
            c.kfile->click();
            QCOMPARE(world.nextFrame(), QByteArray("02 b0 0b 00 bd"));
        }
        QVERIFY(c.kstart->isEnabled());
        c.kstart->click();
        QCOMPARE(world.nextFrame(), QByteArray("06 b0 01 01 02 03 04 05 c6"));
        c.rxdatarq();
        QCOMPARE(world.nextFrame(), QByteArray("01 b0 01 b2"));
        QCOMPARE(c.lcount->text(), QStringLiteral("Finished"));
        makeReady(world);
    }
    QCOMPARE(chooser.requests.size(), 1);
}

void TestWorkflows::imageSizes_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<QStringList>("blocks");

    QTest::newRow("16 image bytes: two full blocks")
        << 16 << 16 << QStringList{"09 b0 01", "09 b0 01"};
    QTest::newRow("10 image bytes: the last block is short")
        << 10 << 10 << QStringList{"09 b0 01", "03 b0 01"};
    QTest::newRow("header only: finished at once") << 0 << 0 << QStringList();
}

void TestWorkflows::imageSizes()
{
    QFETCH(int, size);
    QFETCH(int, maximum);
    QFETCH(QStringList, blocks);

    World world;
    world.startWithDevice();
    prefw& c = world.console();
    QTemporaryDir dir;
    Chooser chooser;
    chooser.answer = binFile(dir, image(size));
    makeReady(world);
    c.kenabsw->click();
    c.kfile->click();
    QCOMPARE(world.nextFrame(), QByteArray("01 b0 00 b1"));
    QCOMPARE(world.nextFrame(), QByteArray("02 b0 0b 00 bd"));
    QCOMPARE(c.pbar->maximum(), maximum);

    c.kstart->click();
    QStringList counts;
    for (const QString& start : blocks) {
        QVERIFY(world.nextFrame().startsWith(start.toLatin1()));
        counts.append(c.lcount->text());
        c.rxdatarq();
    }
    QCOMPARE(world.nextFrame(), QByteArray("01 b0 01 b2"));
    QCOMPARE(c.lcount->text(), QStringLiteral("Finished"));
    QVERIFY(c.kabort->isHidden());
    if (size == 10)
        QCOMPARE(counts, (QStringList{"8", "10"}));
}

void TestWorkflows::requestWithoutImageSendsNothing()
{
    World world;
    world.startWithDevice();
    prefw& c = world.console();
    world.view().show();

    world.device.write(bytes("11b001c2"));
    QTRY_COMPARE(world.view().model().rowCount(), 1);
    QCOMPARE(world.view().model().rowText(0), QStringLiteral("Rx-11 B0 01 C2 "));
    QCOMPARE(world.nextFrame(200), QByteArray());
    QCOMPARE(c.lcount->text(), QStringLiteral("0"));
}

void TestWorkflows::unreadableImage()
{
    World world;
    world.startWithDevice();
    prefw& c = world.console();
    QTemporaryDir dir;
    Chooser chooser;
    chooser.answer = dir.path(); // a folder, not a file
    makeReady(world);
    c.kenabsw->click();
    QCOMPARE(world.nextFrame(), QByteArray("01 b0 00 b1"));

    c.kfile->click();
    QCOMPARE(world.alerts.size(), 1);
    QVERIFY(world.alerts[0].contains(QFileInfo(dir.path()).fileName()));
    QVERIFY(!c.kstart->isEnabled());
    QVERIFY(!p2sr::state().stream);
}

void TestWorkflows::hugeImageShowsTrueProgress()
{
    World world;
    world.startWithDevice();
    prefw& c = world.console();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("huge.bin"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    const qint64 imageBytes = qint64(3) << 30; // 3 GiB, sparse
    QVERIFY(file.resize(16384 + imageBytes));
    file.close();
    Chooser chooser;
    chooser.answer = path;
    makeReady(world);
    c.kenabsw->click();
    c.kfile->click();

    QVERIFY(c.pbar->maximum() > 0);
    QCOMPARE(qint64(c.pbar->maximum()), imageBytes >> 1);
    c.kstart->click();
    c.rxdatarq();
    QCOMPARE(c.lcount->text(), QStringLiteral("16"));
    QCOMPARE(c.pbar->value(), 8);
    c.Abort();
}

void TestWorkflows::cancelledDialogKeepsTheImage()
{
    World world;
    world.startWithDevice();
    prefw& c = world.console();
    QTemporaryDir dir;
    Chooser chooser;
    chooser.answer = binFile(dir, bytes("aabb"));
    makeReady(world);
    c.kenabsw->click();
    c.kfile->click();
    (void)world.nextFrame();
    (void)world.nextFrame();

    chooser.answer.clear();
    c.kfile->click();
    QCOMPARE(world.nextFrame(200), QByteArray()); // no monitor-off frame
    QVERIFY(c.f.isEmpty());
    QVERIFY(c.kstart->isEnabled());
    c.kstart->click();
    QCOMPARE(world.nextFrame(), QByteArray("03 b0 01 aa bb 19"));
}

void TestWorkflows::shortOrMissingFiles_data()
{
    QTest::addColumn<int>("size"); // bytes in the file; -1: gone before Enable loads it again

    QTest::newRow("shorter than the header") << 100;
    QTest::newRow("empty") << 0;
    QTest::newRow("gone after it was chosen") << -1;
}

void TestWorkflows::shortOrMissingFiles()
{
    QFETCH(int, size);
    World world;
    world.startWithDevice();
    prefw& c = world.console();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("short.bin"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(std::max(size, 0), '\x11'));
    file.close();
    Chooser chooser;
    chooser.answer = path;
    makeReady(world);
    c.kenabsw->click();
    c.kfile->click();
    QCOMPARE(world.nextFrame(), QByteArray("01 b0 00 b1"));
    QCOMPARE(world.nextFrame(), QByteArray("02 b0 0b 00 bd"));

    if (size < 0) {
        QVERIFY(QFile::remove(path));
        c.Abort();
        QCOMPARE(world.nextFrame(), QByteArray("01 b0 04 b5"));
        makeReady(world);
        c.kenabsw->click(); // loads the chosen file again: it is gone
        QCOMPARE(world.nextFrame(), QByteArray("01 b0 00 b1"));
        QCOMPARE(world.alerts.size(), 1);
        QVERIFY(world.alerts[0].contains(QStringLiteral("short.bin")));
        QVERIFY(!c.kstart->isEnabled());
        QVERIFY(!p2sr::state().stream);
        return;
    }
    QCOMPARE(c.pbar->maximum(), 0);
    c.kstart->click(); // nothing to send: finished at once
    QCOMPARE(world.nextFrame(), QByteArray("01 b0 01 b2"));
    QCOMPARE(c.lcount->text(), QStringLiteral("Finished"));
    QVERIFY(c.kabort->isHidden());
    QVERIFY(world.alerts.isEmpty());
}

void TestWorkflows::fileShrinkingDuringDownload()
{
    World world;
    world.startWithDevice();
    prefw& c = world.console();
    QTemporaryDir dir;
    const QByteArray data = bytes("0102030405060708090a0b0c0d0e0f10111213141516171819");
    Chooser chooser;
    chooser.answer = binFile(dir, data);
    makeReady(world);
    c.kenabsw->click();
    c.kfile->click();
    (void)world.nextFrame();
    (void)world.nextFrame();
    c.kstart->click();
    QCOMPARE(world.nextFrame(), QByteArray("09 b0 01 01 02 03 04 05 06 07 08 de"));

    QFile file(chooser.answer);
    QVERIFY(file.resize(16384 + 11)); // cut while the device is busy with the first block
    c.rxdatarq();
    QCOMPARE(world.nextFrame(), QByteArray("04 b0 01 09 0a 0b d3"));
    c.rxdatarq();
    QCOMPARE(world.nextFrame(), QByteArray("01 b0 01 b2"));
    QCOMPARE(c.lcount->text(), QStringLiteral("Finished"));
}

// A socat pair stands for the adapter: the console opens one end, the test plays the
// device at the other, and killing socat is pulling the adapter out.
void TestWorkflows::adapterUnpluggedDuringDownload()
{
    if (QStandardPaths::findExecutable(QStringLiteral("socat")).isEmpty())
        QSKIP("socat is not installed");
    QTemporaryDir dir;
    const QString console = dir.filePath(QStringLiteral("console"));
    const QString deviceEnd = dir.filePath(QStringLiteral("device"));
    QProcess socat;
    socat.start(QStringLiteral("socat"), {QStringLiteral("pty,raw,echo=0,link=") + console,
                                          QStringLiteral("pty,raw,echo=0,link=") + deviceEnd});
    QTRY_VERIFY(QFile::exists(console) && QFile::exists(deviceEnd));
    QSerialPort device;
    device.setPortName(deviceEnd);
    QVERIFY(device.open(QIODevice::ReadWrite));

    World world;
    world.startWithDevice(console);
    prefw& c = world.console();
    QVERIFY(c.p2serial1.serialopen);
    Chooser chooser;
    chooser.answer = binFile(dir, image(64));
    makeReady(world);
    c.kenabsw->click();
    c.kfile->click();
    c.kstart->click();
    QTRY_VERIFY(device.bytesAvailable() >= 4 + 5 + 12); // enable, monitor off, first block

    socat.kill();
    socat.waitForFinished();
    QTRY_VERIFY(!c.p2serial1.serialopen);
    QTest::qWait(100);
    QCOMPARE(world.alerts, QStringList{"Controller serial port lost"});
    QVERIFY(!c.p2serial1.isOpen());

    // Abort still works, and a new choice of port opens it
    QTest::mouseClick(c.kabort, Qt::LeftButton);
    QCOMPARE(c.lcount->text(), QStringLiteral("Aborted"));
    QVERIFY(c.kclose->isEnabled());
    Pty replacement;
    c.p2serial1.setPortList(PortList({replacement.slavePath()}));
    c.krefresh->click();
    c.portselect1->setCurrentIndex(c.portselect1->findText(replacement.slavePath()));
    QVERIFY(c.p2serial1.serialopen);
    c.kreadeprom->click();
    QCOMPARE(replacement.read(4).toHex(' '), QByteArray("01 b0 04 b5"));
}

void TestWorkflows::names()
{
    World world;
    world.start();
    prefw& c = world.console();

    // three letters: shown when the last chunk arrives, not before
    c.Rxname(nameChunk(0, 0, bytes("4142430000000000")));
    for (int offset = 8; offset < 72; offset += 8)
        c.Rxname(nameChunk(0, offset, QByteArray(8, '\0')));
    QCOMPARE(c.TextArea1[0]->toPlainText(), QString());
    c.Rxname(nameChunk(0, 72, QByteArray(8, '\0')));
    QCOMPARE(c.TextArea1[0]->toPlainText(), QStringLiteral("ABC"));
    QCOMPARE(c.vername[0], QByteArray("ABC").leftJustified(80, '\0'));

    // eighty letters, stored and shown whole
    const QByteArray eighty = QByteArray("0123456789").repeated(8);
    sendName(c, 1, eighty);
    QCOMPARE(c.vername[1], eighty);
    QCOMPARE(c.TextArea1[1]->toPlainText(), QString::fromLatin1(eighty));

    // version 0's zero byte stops version 1's chunks until the next first chunk
    c.Rxname(nameChunk(1, 0, bytes("5858585858585858"))); // "XXXXXXXX", version 1 begins
    c.Rxname(nameChunk(0, 0, bytes("5900000000000000"))); // version 0: "Y", then its end
    c.Rxname(nameChunk(1, 8, bytes("5a5a5a5a5a5a5a5a"))); // not stored
    QCOMPARE(c.vername[1].left(16), QByteArray("XXXXXXXX").leftJustified(16, '\0'));
}

void TestWorkflows::nameEdges()
{
    World world;
    world.start();
    prefw& c = world.console();

    c.Rxname(nameChunk(1, 8, bytes("4141414141414141"))); // before any first chunk
    QVERIFY(c.vername[1].isEmpty());

    c.Rxname(nameChunk(0, 0, bytes("e9e8414141414141")));  // Latin-1 letters
    c.Rxname(nameChunk(0, 76, bytes("4242424242424242"))); // past the buffer's end
    QCOMPARE(c.vername[0].size(), 80);
    QCOMPARE(c.vername[0].mid(76), QByteArray("BBBB"));

    c.Rxname(nameChunk(0, 72, QByteArray(8, '\0')));
    QVERIFY(c.TextArea1[0]->toPlainText().startsWith(QString::fromUtf8("éèAAAAAA")));

    c.Dispversion(1); // a version whose name never came
    QCOMPARE(c.TextArea1[2]->toPlainText(), QString());
}

void TestWorkflows::statusReport()
{
    World world;
    world.start();
    prefw& c = world.console();
    sendName(c, 1, "Second");

    c.Dispversion(5);
    QVERIFY(c.version1[1]->isChecked() && c.version2[1]->isChecked());
    QVERIFY(!c.version1[0]->isChecked() && !c.version2[0]->isChecked());
    QCOMPARE(c.TextArea1[2]->toPlainText(), QStringLiteral("Second"));
    // a changed version starts a countdown, which the report itself cuts to two ticks
    QCOMPARE(c.enabdelay, 2);
    QVERIFY(!c.kenabsw->isEnabled());
    world.tick(2);

    c.Dispversion(1); // the version already shown, no countdown running
    QCOMPARE(c.enabdelay, 0);
    QVERIFY(c.kenabsw->isEnabled());
}

void TestWorkflows::versionClicks_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("checked"); // which version the buttons show; -1: none

    QTest::newRow("empty part of Select Version 2")
        << "selectbox2" << QByteArray("02 b0 08 01 bb") << 1;
    QTest::newRow("first name area") << "area0" << QByteArray("02 b0 08 00 ba") << 0;
    QTest::newRow("third name area") << "area2" << QByteArray("02 b0 08 02 bc") << -1;
    QTest::newRow("Version 1 radio") << "radio0" << QByteArray("02 b0 08 00 ba") << 0;
}

void TestWorkflows::versionClicks()
{
    QFETCH(QString, where);
    QFETCH(QByteArray, frame);
    QFETCH(int, checked);

    World world;
    world.startWithDevice();
    prefw& c = world.console();
    world.splash->BevelButton1->click();
    c.Dispversion(1); // the device reports version 2 first
    if (where == "selectbox2") {
        QTest::mouseClick(c.selectbox2, Qt::LeftButton, {}, QPoint(150, 105));
    } else if (where.startsWith("area")) {
        const int i = where.back().digitValue();
        c.TabPanel1->setCurrentIndex(i == 2 ? 1 : 0);
        QApplication::setActiveWindow(&c);
        QTRY_VERIFY(c.isActiveWindow());
        QPlainTextEdit* area = c.TextArea1[static_cast<std::size_t>(i)];
        QTest::mouseClick(area->viewport(), Qt::LeftButton);
        QVERIFY(area->hasFocus()); // the click goes on to the text area
    } else {
        c.version1[0]->click();
    }

    QCOMPARE(world.nextFrame(), frame);
    QCOMPARE(world.nextFrame(100), QByteArray()); // exactly one frame
    QCOMPARE(c.enabdelay, 100);
    const std::array<VersionRadio*, 4> all{c.version1[0], c.version1[1], c.version2[0],
                                           c.version2[1]};
    for (std::size_t i = 0; i < all.size(); ++i)
        QCOMPARE(all[i]->isChecked(), checked >= 0 && int(i % 2) == checked);
}

void TestWorkflows::readContents()
{
    World world;
    world.startWithDevice();
    prefw& c = world.console();

    c.kreadeprom->click();
    QCOMPARE(world.nextFrame(), QByteArray("01 b0 04 b5"));
    QCOMPARE(c.TextArea1[0]->toPlainText(), QStringLiteral("Waiting for Communication"));
    QCOMPARE(c.TextArea1[1]->toPlainText(), QStringLiteral("Waiting for Communication"));
    QVERIFY(!c.kenabsw->isEnabled());
    QVERIFY(c.kreadeprom->isEnabled()); // locked only from the next tick
    world.tick(5);
    QVERIFY(!c.kreadeprom->isEnabled());
    QCOMPARE(c.enabdelay, 95);

    // the device answers: names, then its status
    sendName(c, 0, "Alpha");
    QCOMPARE(c.TextArea1[0]->toPlainText(), QStringLiteral("Alpha"));
    world.device.write(withSum(bytes("18b0060001010a261211")));
    QTRY_COMPARE(c.corerev->text(), QStringLiteral("1.10"));
    QCOMPARE(c.coredate->text(), QStringLiteral("26\\12\\11"));
    QCOMPARE(c.enabdelay, 2);
    QVERIFY(c.kcoms->lit);
}

void TestWorkflows::revisionAndDate_data()
{
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<QString>("revision");
    QTest::addColumn<QString>("date");

    QTest::newRow("full") << bytes("18b00600000105091225") << "1.5"
                          << "09\\12\\25";
    QTest::newRow("two-digit minor") << bytes("18b0060000013299 1231") << "1.50"
                                     << "99\\12\\31";
    QTest::newRow("largest") << bytes("18b0060000ffffff007f") << "255.255"
                             << "FF\\00\\7F";
    QTest::newRow("letters in the date") << bytes("18b00600000000 0a0b0c") << "0.0"
                                         << "0A\\0B\\0C";
    QTest::newRow("too short for the revision") << bytes("13b0060000") << "0.0"
                                                << "00\\00\\00";
    QTest::newRow("too short for the date") << bytes("15b00600000203") << "2.3"
                                            << "00\\00\\00";
}

void TestWorkflows::revisionAndDate()
{
    QFETCH(QByteArray, status);
    QFETCH(QString, revision);
    QFETCH(QString, date);

    World world;
    world.start();
    prefw& c = world.console();
    QCOMPARE(c.corerev->text(), QStringLiteral("?.?"));
    c.p2serial1_parseinput(frameBuffer(withSum(status)));
    QCOMPARE(c.corerev->text(), revision);
    QCOMPARE(c.coredate->text(), date);

    c.p2serial1_parseinput(frameBuffer(withSum(bytes("17b30000010 20aff99")))); // board revision
    QCOMPARE(c.corerev->text(), QStringLiteral("core rev - 01 02 0A FF "));
}

void TestWorkflows::verifyAndTest()
{
    World world;
    world.writeSettings({"serport0", world.device.slavePath(), "showtest", "true"});
    world.start();
    prefw& c = world.console();
    c.TextArea1[0]->setPlainText(QStringLiteral("old"));

    c.kverify->click();
    QCOMPARE(world.nextFrame(), QByteArray("01 b0 09 ba"));
    QCOMPARE(c.TextArea1[0]->toPlainText(), QString());
    world.tick(10);
    QVERIFY(!c.kverify->isEnabled());
    QVERIFY(c.ktest->isEnabled() && c.kmonitor->isEnabled());

    c.ktest->click();
    QCOMPARE(world.nextFrame(), QByteArray("01 b0 0a bb"));
    QCOMPARE(c.enabdelay, 100);
}

void TestWorkflows::hardwareMonitor()
{
    World world;
    world.startWithDevice();
    prefw& c = world.console();

    c.kmonitor->click();
    QCOMPARE(world.nextFrame(), QByteArray("02 b0 0b 01 be"));
    c.kmonitor->click();
    QCOMPARE(world.nextFrame(), QByteArray("02 b0 0b 00 bd"));

    c.Dispmonitor(1);
    QVERIFY(c.kmonitor->isChecked());
    QVERIFY(c.kmonitor->isEnabled());
    c.Dispmonitor(2);
    QVERIFY(!c.kmonitor->isChecked());
    c.Dispmonitor(1);
    c.Dispmonitor(0xFF);
    QVERIFY(!c.kmonitor->isChecked());
    QCOMPARE(world.nextFrame(200), QByteArray()); // showing the state sends nothing back
}

void TestWorkflows::debugPeek()
{
    World world;
    world.startWithDevice();
    prefw& c = world.console();

    c.dbugaddr->setText(QStringLiteral("1234"));
    c.dbuglen->setCurrentIndex(2);
    QCOMPARE(world.nextFrame(), QByteArray("04 a0 9a 12 34 02 86"));

    c.dbuglen->setCurrentIndex(0);
    QCOMPARE(world.nextFrame(), QByteArray("04 a0 9a 00 00 00 3e"));
    c.dbugaddr->setText(QStringLiteral("FF"));
    c.dbuglen->setCurrentIndex(4);
    QCOMPARE(world.nextFrame(), QByteArray("04 a0 9a 00 ff 04 41"));

    // an edit while a length is chosen switches the peek off, once
    c.dbuglen->setCurrentIndex(3);
    QCOMPARE(world.nextFrame(), QByteArray("04 a0 9a 00 ff 03 40"));
    QTest::keyClicks(c.dbugaddr, QStringLiteral("a"));
    QCOMPARE(world.nextFrame(), QByteArray("04 a0 9a 00 00 00 3e"));
    QTest::keyClicks(c.dbugaddr, QStringLiteral("b"));
    QCOMPARE(world.nextFrame(100), QByteArray());
    QCOMPARE(c.dbugaddr->text(), QStringLiteral("FFab"));

    // an empty address is 0; the field takes hexadecimal digits only, four at most
    c.dbugaddr->clear();
    c.dbuglen->setCurrentIndex(1);
    QCOMPARE(world.nextFrame(), QByteArray("04 a0 9a 00 00 01 3f"));
    QTest::keyClicks(c.dbugaddr, QStringLiteral("g12h345"));
    QCOMPARE(c.dbugaddr->text(), QStringLiteral("1234"));
}

QTEST_MAIN(TestWorkflows)
#include "tst_workflows.moc"
