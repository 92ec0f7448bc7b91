#include "config.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace {

QByteArray lines(const QList<QByteArray>& content, const QByteArray& end = "\n")
{
    QByteArray text;
    for (const QByteArray& line : content)
        text += line + end;
    return text;
}

} // namespace

class TestConfig : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void defaultsWithoutFile();
    void firstChangeWritesAllSlots();
    void keysIgnoreLetterCase();
    void unchangedValueIsNotSaved();
    void caseOnlyChangeIsNotStored();
    void emptyValueClaimsPairWithoutSaving();
    void shortFileFillsFirstSlots();
    void longFileIsCutAt256Lines();
    void emptyKeyHidesLaterPairs();
    void getbool_data();
    void getbool();
    void lineEnds_data();
    void lineEnds();
    void unreadableFileStartsEmpty();
    void fullTableIgnoresNewKey();
    void failedSaveKeepsOldFile();
    void valuesKeepTheirBytes();
    void saveNeverWritesThroughALink();
    void garbageFilesLoadAndSave_data();
    void garbageFilesLoadAndSave();
    void readOnlyFileIsLeftAlone();

private:
    [[nodiscard]] QString file() const { return config::path(); }
    void writeFile(const QByteArray& content) const;
    [[nodiscard]] QByteArray readFile() const;
    void load() const { config::initconfig(QStringLiteral("quillet")); }

    std::unique_ptr<QTemporaryDir> m_dir;
    config::State m_state;
};

void TestConfig::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_state = {};
    m_state.folder = m_dir->path();
    config::wire(m_state);
    load();
}

void TestConfig::writeFile(const QByteArray& content) const
{
    QFile f(m_dir->filePath(QStringLiteral("quillet.ini")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
}

QByteArray TestConfig::readFile() const
{
    QFile f(m_dir->filePath(QStringLiteral("quillet.ini")));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void TestConfig::defaultsWithoutFile()
{
    QCOMPARE(m_state.filename, QStringLiteral("quillet.ini"));
    QCOMPARE(file(), m_dir->filePath(QStringLiteral("quillet.ini")));
    QCOMPARE(config::getstring(QStringLiteral("serport1")), QString());
    QCOMPARE(config::getbool(QStringLiteral("showtest")), false);
    QCOMPARE(config::getfont(QStringLiteral("basefont")), QStringLiteral("Tahoma"));
    QVERIFY(!QFile::exists(file())); // reading creates nothing
}

void TestConfig::firstChangeWritesAllSlots()
{
    config::putconfig(QStringLiteral("serport1"), QStringLiteral("ttyUSB0"));
    config::putconfig(QStringLiteral("controlport"), QStringLiteral("ttyUSB0"));
    config::putbool(QStringLiteral("showtest"), true);

    QByteArray expected =
        lines({"serport1", "ttyUSB0", "controlport", "ttyUSB0", "showtest", "true"});
    expected += QByteArray(250, '\n');
    QCOMPARE(readFile(), expected);
    QCOMPARE(readFile().count('\n'), 256);
}

void TestConfig::keysIgnoreLetterCase()
{
    config::putbool(QStringLiteral("showtest"), true);
    QVERIFY(config::getbool(QStringLiteral("Showtest")));
    QCOMPARE(config::findconfig(QStringLiteral("SHOWTEST")), 0);
    QVERIFY(m_state.cfound);

    // the key slot takes the letter case of the latest store
    config::putbool(QStringLiteral("ShowTest"), false);
    QCOMPARE(m_state.parray[0], QByteArray("ShowTest"));
    QCOMPARE(config::findconfig(QStringLiteral("absent")), 1);
    QVERIFY(!m_state.cfound);
}

void TestConfig::unchangedValueIsNotSaved()
{
    config::putconfig(QStringLiteral("controlport"), QStringLiteral("ttyUSB0"));
    QVERIFY(QFile::remove(file()));

    config::putconfig(QStringLiteral("controlport"), QStringLiteral("ttyUSB0"));
    QVERIFY(!QFile::exists(file()));
}

void TestConfig::caseOnlyChangeIsNotStored()
{
    config::putconfig(QStringLiteral("serport1"), QStringLiteral("ttyusb0"));
    QVERIFY(QFile::remove(file()));

    config::putconfig(QStringLiteral("serport1"), QStringLiteral("TTYUSB0"));
    QCOMPARE(config::getstring(QStringLiteral("serport1")), QStringLiteral("ttyusb0"));
    QVERIFY(!QFile::exists(file()));
}

void TestConfig::emptyValueClaimsPairWithoutSaving()
{
    config::putconfig(QStringLiteral("basefont"), QString());
    QVERIFY(!QFile::exists(file()));
    QCOMPARE(config::findconfig(QStringLiteral("basefont")), 0);
    QVERIFY(m_state.cfound);

    config::putconfig(QStringLiteral("showtest"), QStringLiteral("true"));
    QVERIFY(readFile().startsWith(lines({"basefont", "", "showtest", "true"})));
}

void TestConfig::shortFileFillsFirstSlots()
{
    writeFile(lines({"serport1", "ttyS0", "basefont"}));
    load();

    QCOMPARE(config::getstring(QStringLiteral("serport1")), QStringLiteral("ttyS0"));
    QCOMPARE(config::findconfig(QStringLiteral("basefont")), 1);
    QVERIFY(m_state.cfound);
    QCOMPARE(config::getfont(QStringLiteral("basefont")), QStringLiteral("Tahoma"));
    QCOMPARE(m_state.parray[3], QByteArray());
}

void TestConfig::longFileIsCutAt256Lines()
{
    QList<QByteArray> content;
    for (int i = 0; i < 300; ++i)
        content.append("line" + QByteArray::number(i));
    writeFile(lines(content));
    load();
    QCOMPARE(m_state.parray[255], QByteArray("line255"));

    config::putconfig(QStringLiteral("line0"), QStringLiteral("changed"));
    const QByteArray saved = readFile();
    QCOMPARE(saved.count('\n'), 256);
    QVERIFY(saved.endsWith("line254\nline255\n"));
    QVERIFY(!saved.contains("line256"));
}

void TestConfig::emptyKeyHidesLaterPairs()
{
    writeFile(lines({"serport1", "ttyS0", "", "", "showtest", "true"}));
    load();

    QVERIFY(!config::getbool(QStringLiteral("showtest")));
    config::putconfig(QStringLiteral("controlport"), QStringLiteral("ttyS0"));

    QByteArray expected = lines({"serport1", "ttyS0", "controlport", "ttyS0", "showtest", "true"});
    expected += QByteArray(250, '\n');
    QCOMPARE(readFile(), expected);
}

void TestConfig::getbool_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<bool>("value");

    QTest::newRow("true") << QByteArray("true") << true;
    QTest::newRow("capitals") << QByteArray("TRUE") << true;
    QTest::newRow("capital first") << QByteArray("True") << true;
    QTest::newRow("false") << QByteArray("false") << false;
    QTest::newRow("yes") << QByteArray("yes") << false;
    QTest::newRow("one") << QByteArray("1") << false;
    QTest::newRow("padded") << QByteArray(" true") << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void TestConfig::getbool()
{
    QFETCH(QByteArray, stored);
    QFETCH(bool, value);
    writeFile(lines({"showtest", stored}));
    load();
    QCOMPARE(config::getbool(QStringLiteral("Showtest")), value);
}

void TestConfig::lineEnds_data()
{
    QTest::addColumn<QByteArray>("end");
    QTest::newRow("LF") << QByteArray("\n");
    QTest::newRow("CRLF") << QByteArray("\r\n");
    QTest::newRow("CR") << QByteArray("\r");
}

void TestConfig::lineEnds()
{
    QFETCH(QByteArray, end);
    writeFile(lines({"serport1", "ttyS0", "", "", "basefont", "Courier"}, end));
    load();

    QCOMPARE(m_state.parray[0], QByteArray("serport1"));
    QCOMPARE(m_state.parray[1], QByteArray("ttyS0"));
    QCOMPARE(m_state.parray[2], QByteArray());
    QCOMPARE(m_state.parray[3], QByteArray());
    QCOMPARE(m_state.parray[4], QByteArray("basefont"));
    QCOMPARE(m_state.parray[5], QByteArray("Courier"));
    QCOMPARE(m_state.parray[6], QByteArray());
}

void TestConfig::unreadableFileStartsEmpty()
{
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("quillet.ini")));
    load();
    QCOMPARE(config::getstring(QStringLiteral("serport1")), QString());
    config::putbool(QStringLiteral("showtest"), true); // cannot be saved; runs on in memory
    QVERIFY(config::getbool(QStringLiteral("showtest")));
}

void TestConfig::fullTableIgnoresNewKey()
{
    QList<QByteArray> content;
    for (int k = 0; k < config::kPairs; ++k)
        content << "key" + QByteArray::number(k) << "value";
    writeFile(lines(content));
    load();
    const QByteArray before = readFile();

    QCOMPARE(config::findconfig(QStringLiteral("newkey")), -1);
    QVERIFY(!m_state.cfound);
    config::putconfig(QStringLiteral("newkey"), QStringLiteral("value"));
    QCOMPARE(config::getstring(QStringLiteral("newkey")), QString());
    QCOMPARE(readFile(), before);
    QCOMPARE(config::getstring(QStringLiteral("key127")), QStringLiteral("value"));
}

void TestConfig::failedSaveKeepsOldFile()
{
    config::putconfig(QStringLiteral("controlport"), QStringLiteral("ttyUSB0"));
    const QByteArray before = readFile();

    // A disk that fills during the write: no file may grow past a few bytes.
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tiny = old;
    tiny.rlim_cur = 16;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &tiny), 0);
    config::putconfig(QStringLiteral("controlport"), QStringLiteral("ttyUSB1"));
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previousHandler);

    QCOMPARE(readFile(), before);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("quillet.ini")}); // no temporary file left behind
    QCOMPARE(config::getstring(QStringLiteral("controlport")), QStringLiteral("ttyUSB1"));

    // the next changing store writes everything the table holds
    config::putbool(QStringLiteral("showtest"), true);
    QVERIFY(readFile().startsWith(lines({"controlport", "ttyUSB1", "showtest", "true"})));
}

void TestConfig::valuesKeepTheirBytes()
{
    const QByteArray odd("Schriftart \xc3\xa9\tx");
    writeFile(lines({"basefont", odd, "raw", "\xff\xfe"}));
    load();
    QCOMPARE(config::getfont(QStringLiteral("basefont")), QString::fromUtf8(odd));

    config::putconfig(QStringLiteral("controlport"), QStringLiteral("a\nb"));
    load();
    QCOMPARE(m_state.parray[1], odd);
    QCOMPARE(m_state.parray[3], QByteArray("\xff\xfe"));
    QCOMPARE(config::getstring(QStringLiteral("controlport")), QStringLiteral("a b"));
}

void TestConfig::saveNeverWritesThroughALink()
{
    const QString elsewhere = m_dir->filePath(QStringLiteral("precious.txt"));
    QFile other(elsewhere);
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.write("not the settings\n");
    other.close();
    QVERIFY(QFile::link(elsewhere, file()));
    load();

    config::putbool(QStringLiteral("showtest"), true);

    QFile check(elsewhere);
    QVERIFY(check.open(QIODevice::ReadOnly));
    QCOMPARE(check.readAll(), QByteArray("not the settings\n"));
    QVERIFY(!QFileInfo(file()).isSymLink());
    QVERIFY(readFile().startsWith("not the settings\n\nshowtest\ntrue\n")); // loaded via the link
}

void TestConfig::garbageFilesLoadAndSave_data()
{
    QTest::addColumn<QByteArray>("content");

    QByteArray binary;
    for (int i = 0; i < 64 * 1024; ++i)
        binary.append(static_cast<char>((i * 7919) >> 3));
    QTest::newRow("binary garbage") << binary;
    QTest::newRow("NUL bytes") << QByteArray("show\0test\ntr\0ue\n\0\0\0\n", 18);
    QTest::newRow("a 1 MB line") << QByteArray(1024 * 1024, 'x') + "\nvalue\n";
    QTest::newRow("100 MB") << QByteArray(100 * 1024 * 1024, '\n');
}

void TestConfig::garbageFilesLoadAndSave()
{
    QFETCH(QByteArray, content);
    writeFile(content);
    load();
    std::array<QByteArray, config::kSlots> loaded = m_state.parray;

    config::putconfig(QStringLiteral("quilletcheck"), QStringLiteral("yes"));
    load();
    const int k = config::findconfig(QStringLiteral("quilletcheck"));
    if (k >= 0 && m_state.cfound) {
        // the new pair went into the first free pair; every other slot is as loaded
        loaded[static_cast<std::size_t>(2 * k)] = "quilletcheck";
        loaded[static_cast<std::size_t>(2 * k + 1)] = "yes";
    }
    QCOMPARE(m_state.parray, loaded);
    QCOMPARE(readFile().count('\n'), 256);
}

void TestConfig::readOnlyFileIsLeftAlone()
{
    if (geteuid() == 0)
        QSKIP("root may write any file");
    config::putconfig(QStringLiteral("controlport"), QStringLiteral("ttyUSB0"));
    QFile::setPermissions(file(), QFileDevice::ReadOwner);
    const QByteArray before = readFile();
    config::putconfig(QStringLiteral("controlport"), QStringLiteral("ttyUSB1"));
    QCOMPARE(readFile(), before);
    QCOMPARE(config::getstring(QStringLiteral("controlport")), QStringLiteral("ttyUSB1"));
}

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"
