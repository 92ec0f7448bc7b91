#include "DeviceSim.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

// The P2 checksum, restated: the sum of every byte before it, modulo 256.
QByteArray framed(QByteArray bytes)
{
    unsigned sum = 0;
    for (const char c : std::as_const(bytes))
        sum += static_cast<unsigned char>(c);
    bytes.append(static_cast<char>(sum & 0xFF));
    return bytes;
}

// A data block: CMD1 = n + 1, B0 01, the n image bytes, checksum.
QByteArray blockFrame(const QByteArray& data)
{
    return framed(QByteArray(1, static_cast<char>(data.size() + 1)) + hex("B001") + data);
}

const QByteArray kAck = hex("100111");
const QByteArray kBlockRequest = hex("11B001C2");
const QByteArray kEnableDownload = hex("01B000B1");
const QByteArray kDownloadDone = hex("01B001B2");
const QByteArray kRestart = hex("01B004B5");
const QByteArray kDeviceTypeRequest = hex("001111");
const QByteArray kDeviceTypeReply = hex("1211024065");

// Every frame a restart brings: ten chunks of each name, then the status.
constexpr int kRestartBytes = 20 * 14 + 11;

// The program's end of the line: the slave opened as the program opens a --port path.
class Line
{
public:
    explicit Line(const QString& path)
    {
        m_fd =
            ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd < 0)
            return;
        termios raw{};
        tcgetattr(m_fd, &raw);
        cfmakeraw(&raw);
        tcsetattr(m_fd, TCSANOW, &raw);
    }
    ~Line()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;

    [[nodiscard]] bool isOpen() const { return m_fd >= 0; }

    void write(const QByteArray& bytes)
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n =
                ::write(m_fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
            if (n > 0) {
                done += n;
                continue;
            }
            pollfd pfd{m_fd, POLLOUT, 0};
            ::poll(&pfd, 1, 100);
        }
    }

    // Waits until count bytes are there or timeoutMs passes; takes no more than count.
    [[nodiscard]] QByteArray read(qsizetype count, int timeoutMs = 2000)
    {
        QByteArray got;
        const QDeadlineTimer deadline(timeoutMs);
        while (got.size() < count && !deadline.hasExpired()) {
            pollfd pfd{m_fd, POLLIN, 0};
            if (::poll(&pfd, 1, static_cast<int>(deadline.remainingTime())) <= 0)
                continue;
            char buffer[512];
            const auto wanted = std::min<qsizetype>(sizeof buffer, count - got.size());
            const ssize_t n = ::read(m_fd, buffer, static_cast<size_t>(wanted));
            if (n > 0)
                got.append(buffer, n);
        }
        return got;
    }

    // Everything that arrives until the line has been quiet for quietMs.
    [[nodiscard]] QByteArray readUntilQuiet(int quietMs)
    {
        QByteArray got;
        for (;;) {
            const QByteArray more = read(4096, quietMs);
            if (more.isEmpty())
                return got;
            got.append(more);
        }
    }

    // Everything that arrives within ms.
    [[nodiscard]] QByteArray readFor(int ms) { return read(1 << 20, ms); }

private:
    int m_fd = -1;
};

// Status message: 18 B0 06 version monitor 1 5 09 12 25, the defaults' revision and date.
QByteArray defaultStatus(int version, int monitor)
{
    QByteArray status = hex("18B006");
    status.append(static_cast<char>(version));
    status.append(static_cast<char>(monitor));
    status.append(hex("0105091225"));
    return framed(status);
}

QByteArray nameChunks(int version, QByteArray name)
{
    name = name.left(80);
    name.append(QByteArray(80 - name.size(), '\0'));
    QByteArray chunks;
    for (int offset = 0; offset < 80; offset += 8) {
        QByteArray chunk = hex("1BB003");
        chunk.append(static_cast<char>(version));
        chunk.append(static_cast<char>(offset));
        chunks.append(framed(chunk + name.mid(offset, 8)));
    }
    return chunks;
}

} // namespace

class TestDeviceSim : public QObject
{
    Q_OBJECT

private slots:
    void exchanges_data();
    void exchanges();
    void versionSelection_data();
    void versionSelection();
    void restart_data();
    void restart();
    void download();
    void programChecksumErrorIgnored_data();
    void programChecksumErrorIgnored();
    void silentAfter();
    void wrongChecksumFault();
    void noiseBeforeFrames();
    void droppedRequests_data();
    void droppedRequests();
    void lostRequestIsAskedAgain();
    void timing_data();
    void timing();
    void lampReports();
    void program();
};

void TestDeviceSim::exchanges_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");

    const QByteArray status = hex("18B006000001050912 2514");
    QTest::newRow("device type") << kDeviceTypeRequest << kDeviceTypeReply;
    QTest::newRow("select version") << hex("02B00801BB") << kAck;
    QTest::newRow("monitor on") << hex("02B00B01BE") << kAck + hex("18B00600010105091225 15");
    QTest::newRow("monitor off") << hex("02B00B00BD") << kAck + status;
    QTest::newRow("reset") << hex("01B005B6") << kAck + status;
    QTest::newRow("verify") << hex("01B009BA") << kAck + status;
    QTest::newRow("test") << hex("01B00ABB") << kAck + status;
    QTest::newRow("enable download") << kEnableDownload << kAck;
    QTest::newRow("done, no download") << kDownloadDone << kAck;
    // Memory byte at a is (a * 7 + 3) & 0xFF: 0x1234 holds 6F, 0x1235 holds 76.
    QTest::newRow("debug two bytes") << hex("04A09A12340286") << hex("15A09A12346F767A");
    QTest::newRow("debug wraps") << hex("04A09AFFFE043F") << hex("17A09AFFFEF5FC030A4C");
    QTest::newRow("debug off") << hex("04A09A0000003E") << kAck;
    QTest::newRow("device's own reply") << kAck << QByteArray();
}

void TestDeviceSim::exchanges()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    DeviceSim sim;
    QVERIFY(sim.start());
    Line line(sim.slavePath());
    QVERIFY(line.isOpen());

    line.write(request);
    QCOMPARE(line.read(reply.size()).toHex(' '), reply.toHex(' '));
    QCOMPARE(line.readFor(60).toHex(' '), QByteArray());
    QTRY_COMPARE(sim.framesReceived(), 1);
}

void TestDeviceSim::versionSelection_data()
{
    QTest::addColumn<QByteArray>("choices");
    QTest::addColumn<int>("version");

    QTest::newRow("0") << hex("00") << 0;
    QTest::newRow("1") << hex("01") << 1;
    QTest::newRow("any other is 1") << hex("07") << 1;
    QTest::newRow("2 keeps 1") << hex("0102") << 1;
    QTest::newRow("2 keeps 0") << hex("0002") << 0;
    QTest::newRow("back to 0") << hex("0100") << 0;
}

void TestDeviceSim::versionSelection()
{
    QFETCH(QByteArray, choices);
    QFETCH(int, version);
    DeviceSim sim;
    QVERIFY(sim.start());
    Line line(sim.slavePath());
    QVERIFY(line.isOpen());

    for (const char choice : std::as_const(choices)) {
        line.write(framed(hex("02B008") + QByteArray(1, choice)));
        QCOMPARE(line.read(3), kAck);
    }
    QCOMPARE(sim.version(), version);
    line.write(hex("01B005B6"));
    QCOMPARE(line.read(14).toHex(' '), (kAck + defaultStatus(version, 0)).toHex(' '));
}

void TestDeviceSim::restart_data()
{
    QTest::addColumn<bool>("boardRevision");
    QTest::addColumn<QByteArray>("name0");
    QTest::addColumn<QByteArray>("name1");
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<QByteArray>("firstChunk");
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<QByteArray>("board");

    // Major 0 leaves the options at their defaults, which the row's names restate.
    QTest::newRow("defaults") << false << QByteArray("LX-240 firmware 1.5 (factory)")
                              << QByteArray("LX-240 firmware 1.6 (update)") << 0 << 0
                              << hex("1BB00300004C582D3234302066BB")
                              << hex("18B00600000105091225 14") << QByteArray();
    // A name longer than 80 bytes is cut at 80.
    QTest::newRow("own names, revision, board")
        << true << QByteArray("A") << QByteArray(90, 'B') << 2 << 7
        << framed(hex("1BB0030000") + QByteArray("A") + QByteArray(7, '\0'))
        << hex("18B00600000207091225 17") << hex("17B3000001020AFF996F");
}

void TestDeviceSim::restart()
{
    QFETCH(bool, boardRevision);
    QFETCH(QByteArray, name0);
    QFETCH(QByteArray, name1);
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(QByteArray, firstChunk);
    QFETCH(QByteArray, status);
    QFETCH(QByteArray, board);

    DeviceSim::Options options;
    options.boardRevision = boardRevision;
    if (major != 0) {
        options.name0 = name0;
        options.name1 = name1;
        options.revisionMajor = static_cast<std::uint8_t>(major);
        options.revisionMinor = static_cast<std::uint8_t>(minor);
    }
    DeviceSim sim(options);
    QVERIFY(sim.start());
    Line line(sim.slavePath());
    QVERIFY(line.isOpen());

    line.write(kRestart);
    const QByteArray expected = nameChunks(0, name0) + nameChunks(1, name1) + status + board;
    const QByteArray got = line.read(expected.size());
    QCOMPARE(got.left(14).toHex(' '), firstChunk.toHex(' '));
    QCOMPARE(got.toHex(' '), expected.toHex(' '));
    QCOMPARE(line.readFor(60), QByteArray());
}

void TestDeviceSim::download()
{
    // The IEEE 802.3 / zlib check value.
    QCOMPARE(DeviceSim::crc32("123456789"), 0xCBF43926u);
    QCOMPARE(DeviceSim::crc32({}), 0u);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    DeviceSim::Options options;
    options.imageOut = dir.filePath(QStringLiteral("image.bin"));
    DeviceSim sim(options);
    std::atomic<qint64> doneSize = -1;
    std::atomic<std::uint32_t> doneCrc = 0;
    sim.setDownloadDone([&](qint64 size, std::uint32_t crc) {
        doneCrc = crc;
        doneSize = size;
    });
    QVERIFY(sim.start());
    Line line(sim.slavePath());
    QVERIFY(line.isOpen());

    // A download abandoned by a restart leaves nothing behind in the next one.
    line.write(kEnableDownload);
    QCOMPARE(line.read(3), kAck);
    line.write(hex("04B001616263DB"));
    QCOMPARE(line.read(4), kBlockRequest);
    QVERIFY(sim.downloading());
    line.write(kRestart);
    QCOMPARE(line.read(kRestartBytes).size(), kRestartBytes);
    QVERIFY(!sim.downloading());

    line.write(kEnableDownload);
    QCOMPARE(line.read(3), kAck);
    QCOMPARE(blockFrame("12345678"), hex("09B0013132333435363738 5E"));
    line.write(blockFrame("12345678"));
    QCOMPARE(line.read(4), kBlockRequest);
    line.write(hex("02B00139EC"));
    QCOMPARE(line.read(4), kBlockRequest);
    line.write(kDownloadDone);
    QCOMPARE(line.read(3), kAck);

    QTRY_COMPARE(sim.downloadsDone(), 1);
    QCOMPARE(sim.image(), QByteArray("123456789"));
    QCOMPARE(doneSize.load(), 9);
    QCOMPARE(doneCrc.load(), 0xCBF43926u);
    QCOMPARE(sim.blockRequests(), 3);
    QFile written(options.imageOut);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), QByteArray("123456789"));
}

void TestDeviceSim::programChecksumErrorIgnored_data()
{
    QTest::addColumn<bool>("byteByByte");
    QTest::newRow("all at once") << false;
    QTest::newRow("a byte at a time") << true;
}

void TestDeviceSim::programChecksumErrorIgnored()
{
    QFETCH(bool, byteByByte);
    DeviceSim sim;
    QVERIFY(sim.start());
    Line line(sim.slavePath());
    QVERIFY(line.isOpen());

    // A device-type request whose checksum is wrong, then a good select-version 1: the
    // device skips byte by byte into the good frame and answers it alone.
    const QByteArray bytes = hex("001100") + hex("02B00801BB");
    if (byteByByte) {
        for (const char b : bytes) {
            line.write(QByteArray(1, b));
            QTest::qWait(2);
        }
    } else {
        line.write(bytes);
    }
    QCOMPARE(line.read(3), kAck);
    QCOMPARE(line.readFor(60), QByteArray());
    QCOMPARE(sim.framesReceived(), 1);
    QCOMPARE(sim.version(), 1);
}

void TestDeviceSim::silentAfter()
{
    DeviceSim::Options options;
    options.silentAfter = 2;
    DeviceSim sim(options);
    QVERIFY(sim.start());
    Line line(sim.slavePath());
    QVERIFY(line.isOpen());

    for (int i = 0; i < 2; ++i) {
        line.write(kDeviceTypeRequest);
        QCOMPARE(line.read(5), kDeviceTypeReply);
    }
    line.write(kDeviceTypeRequest);
    QCOMPARE(line.readFor(100), QByteArray());
    QCOMPARE(sim.framesReceived(), 3);
    QVERIFY(sim.silent());
}

void TestDeviceSim::wrongChecksumFault()
{
    DeviceSim::Options options;
    options.badChecksumRate = 1.0;
    DeviceSim sim(options);
    QVERIFY(sim.start());
    Line line(sim.slavePath());
    QVERIFY(line.isOpen());

    line.write(kDeviceTypeRequest);
    const QByteArray reply = line.read(5);
    QCOMPARE(reply.left(4), hex("12110240"));
    QVERIFY(reply.size() == 5);
    QVERIFY2(reply.at(4) != '\x65', "the reply passes its checksum");
}

void TestDeviceSim::noiseBeforeFrames()
{
    DeviceSim::Options options;
    options.noiseRate = 1.0;
    options.noiseMax = 3;
    options.seed = 7;
    QByteArray first;
    for (int run = 0; run < 2; ++run) {
        DeviceSim sim(options);
        QVERIFY(sim.start());
        Line line(sim.slavePath());
        QVERIFY(line.isOpen());

        line.write(kDeviceTypeRequest);
        const QByteArray got = line.readUntilQuiet(80);
        QVERIFY2(got.endsWith(kDeviceTypeReply), got.toHex(' ').constData());
        const auto noise = got.size() - kDeviceTypeReply.size();
        QVERIFY(noise >= 1 && noise <= 3);
        // The same seed makes the same noise.
        if (run == 0)
            first = got;
        else
            QCOMPARE(got.toHex(' '), first.toHex(' '));
    }
}

void TestDeviceSim::droppedRequests_data()
{
    QTest::addColumn<int>("dropNth");
    QTest::addColumn<double>("rate");
    QTest::addColumn<QString>("answered"); // one mark per block: 1 asked for the next

    QTest::newRow("second") << 2 << 0.0 << QStringLiteral("101");
    QTest::newRow("every one") << 0 << 1.0 << QStringLiteral("000");
}

void TestDeviceSim::droppedRequests()
{
    QFETCH(int, dropNth);
    QFETCH(double, rate);
    QFETCH(QString, answered);
    DeviceSim::Options options;
    options.dropRequest = dropNth;
    options.dropRequestRate = rate;
    DeviceSim sim(options);
    QVERIFY(sim.start());
    Line line(sim.slavePath());
    QVERIFY(line.isOpen());

    line.write(kEnableDownload);
    QCOMPARE(line.read(3), kAck);
    int asked = 0;
    for (const QChar mark : answered) {
        line.write(blockFrame("ABCDEFGH"));
        const bool expected = mark == QLatin1Char('1');
        QCOMPARE(line.read(4, expected ? 2000 : 80), expected ? kBlockRequest : QByteArray());
        asked += expected ? 1 : 0;
    }
    QCOMPARE(sim.blockRequests(), asked);
    QCOMPARE(sim.droppedRequests(), answered.size() - asked);
    QCOMPARE(sim.image().size(), answered.size() * 8);
}

void TestDeviceSim::lostRequestIsAskedAgain()
{
    DeviceSim::Options options;
    options.dropRequest = 1;
    options.requestTimeout = std::chrono::milliseconds(50);
    DeviceSim sim(options);
    QVERIFY(sim.start());
    Line line(sim.slavePath());
    QVERIFY(line.isOpen());

    line.write(kEnableDownload);
    QCOMPARE(line.read(3), kAck);
    line.write(blockFrame("ABCDEFGH"));
    QCOMPARE(line.read(4, 2000), kBlockRequest); // the lost one, asked for again
    QCOMPARE(sim.droppedRequests(), 1);
    line.write(blockFrame("IJKLMNOP"));
    QCOMPARE(line.read(4, 2000), kBlockRequest);
    QCOMPARE(sim.image(), QByteArray("ABCDEFGHIJKLMNOP"));

    line.write(kDownloadDone);
    QCOMPARE(line.read(3), kAck);
    QCOMPARE(line.read(4, 150), QByteArray()); // no more asking once the download is over
}

void TestDeviceSim::timing_data()
{
    QTest::addColumn<bool>("pace");
    QTest::addColumn<int>("delayUs");
    QTest::addColumn<int>("blockDelayUs");
    QTest::addColumn<int>("rounds");
    QTest::addColumn<int>("leastMs");

    // An 8-byte block is 12 bytes and its request 4: 16 x 312.5 us = 5 ms on the line.
    QTest::newRow("paced line") << true << 0 << 0 << 20 << 100;
    QTest::newRow("response delay") << false << 5000 << 0 << 10 << 50;
    QTest::newRow("block delay") << false << 0 << 5000 << 10 << 50;
    QTest::newRow("both delays") << false << 3000 << 2000 << 10 << 50;
}

void TestDeviceSim::timing()
{
    QFETCH(bool, pace);
    QFETCH(int, delayUs);
    QFETCH(int, blockDelayUs);
    QFETCH(int, rounds);
    QFETCH(int, leastMs);
    DeviceSim::Options options;
    options.pace = pace;
    options.responseDelay = std::chrono::microseconds(delayUs);
    options.blockDelay = std::chrono::microseconds(blockDelayUs);
    DeviceSim sim(options);
    QVERIFY(sim.start());
    Line line(sim.slavePath());
    QVERIFY(line.isOpen());

    line.write(kEnableDownload);
    QCOMPARE(line.read(3), kAck);
    const QByteArray block = blockFrame("ABCDEFGH");
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < rounds; ++i) {
        line.write(block);
        QCOMPARE(line.read(4), kBlockRequest);
    }
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(elapsed >= leastMs, qPrintable(QString::number(elapsed)));
    QVERIFY2(elapsed < 2 * leastMs + 200, qPrintable(QString::number(elapsed)));
}

void TestDeviceSim::lampReports()
{
    DeviceSim::Options options;
    options.lampPeriod = 10ms;
    options.seed = 3;
    DeviceSim sim(options);
    QVERIFY(sim.start());
    Line line(sim.slavePath());
    QVERIFY(line.isOpen());

    // 14 B9 0A a b c checksum, every 10 ms.
    const QByteArray got = line.readFor(250);
    QCOMPARE(got.size() % 7, 0);
    const auto reports = got.size() / 7;
    QVERIFY2(reports >= 8 && reports <= 30, qPrintable(QString::number(reports)));
    QSet<QByteArray> states;
    for (qsizetype at = 0; at < got.size(); at += 7) {
        const QByteArray report = got.mid(at, 7);
        QCOMPARE(report.left(3), hex("14B90A"));
        QCOMPARE(framed(report.left(6)), report);
        states.insert(report.mid(3, 3));
    }
    QVERIFY(states.size() >= 2);
}

void TestDeviceSim::program()
{
    const QString program =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../tools/devsim/quillet-devsim");
    if (!QFileInfo(program).isExecutable())
        QSKIP("quillet-devsim is not built beside the tests");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString link = dir.filePath(QStringLiteral("device"));
    const QString image = dir.filePath(QStringLiteral("image.bin"));

    QProcess process;
    process.start(program, {QStringLiteral("--link"), link, QStringLiteral("--image-out"), image,
                            QStringLiteral("--pace")});
    QTRY_VERIFY(process.canReadLine());
    const QString path = QString::fromLocal8Bit(process.readLine().trimmed());
    QVERIFY(path.startsWith(QStringLiteral("/dev/")));
    QCOMPARE(QFileInfo(link).symLinkTarget(), path);

    {
        Line line(link);
        QVERIFY(line.isOpen());
        line.write(kDeviceTypeRequest);
        QCOMPARE(line.read(5), kDeviceTypeReply);
        line.write(kEnableDownload);
        QCOMPARE(line.read(3), kAck);
        line.write(blockFrame("12345678"));
        QCOMPARE(line.read(4), kBlockRequest);
        line.write(blockFrame("9"));
        QCOMPARE(line.read(4), kBlockRequest);
        line.write(kDownloadDone);
        QCOMPARE(line.read(3), kAck);
    }
    QTRY_VERIFY(process.canReadLine());
    QCOMPARE(process.readLine().trimmed(), QByteArray("image: 9 bytes, CRC-32 CBF43926"));
    QFile written(image);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), QByteArray("123456789"));

    process.terminate();
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
}

QTEST_GUILESS_MAIN(TestDeviceSim)
#include "tst_devsim.moc"
