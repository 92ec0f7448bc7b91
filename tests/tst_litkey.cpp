#include "config.h"
#include "litkey.h"

#include <QFile>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

namespace {

// Restated here so that a change to the key's colours shows up as a failure.
const QColor kDefaultLit(0x00, 0xFF, 0x40);
const QColor kDefaultOff(0xD0, 0xD0, 0xD0);
const QColor kBlack(0x00, 0x00, 0x00);
const QColor kWhite(0xFF, 0xFF, 0xFF);
const QColor kRed(0xFF, 0x00, 0x00);
const QColor kLime(0x00, 0xFF, 0x00);
const QColor kPaleGreen(0xC5, 0xFF, 0xC5);

// The console's keys are 100 x 20.
constexpr int kWidth = 100;
constexpr int kHeight = 20;

using Step = std::function<void(litkey&)>;

QColor pixel(const litkey& key, int x, int y)
{
    return key.image().pixelColor(x, y);
}

// The rectangle spanned by the pixels inside the outline that differ from the body, that
// is, the drawn text. The rounded corners are left out.
QRect textBounds(const litkey& key, const QColor& body)
{
    const QImage& image = key.image();
    const int w = image.width();
    const int h = image.height();
    const auto inCorner = [w, h](int x, int y) {
        return (x < 4 || x >= w - 4) && (y < 4 || y >= h - 4);
    };
    QRect bounds;
    for (int y = 1; y < h - 1; ++y) {
        for (int x = 1; x < w - 1; ++x) {
            if (!inCorner(x, y) && image.pixelColor(x, y) != body)
                bounds |= QRect(x, y, 1, 1);
        }
    }
    return bounds;
}

int countInside(const litkey& key, const QColor& colour)
{
    const QImage& image = key.image();
    int count = 0;
    for (int y = 2; y < image.height() - 2; ++y) {
        for (int x = 2; x < image.width() - 2; ++x) {
            if (image.pixelColor(x, y) == colour)
                ++count;
        }
    }
    return count;
}

} // namespace

Q_DECLARE_METATYPE(Step)

class TestLitkey : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void defaults();
    void setheight_data();
    void setheight();
    void setcolor_data();
    void setcolor();
    void bodyColour_data();
    void bodyColour();
    void directAssignmentShowsAtNextPaint();
    void textSitsOnTheBaselineAndIsCentred();
    void wideCaptionIsCutAtTheEdges();
    void settag_data();
    void settag();
    void settagSameValueDoesNothing_data();
    void settagSameValueDoesNothing();
    void settagKeepsKeyLit();
    void settagnumShowsNumber();
    void litcaption();
    void redrawOnlyOnChange_data();
    void redrawOnlyOnChange();
    void pressRaisesAction();
    void openTakesFontFromSettings_data();
    void openTakesFontFromSettings();

private:
    std::unique_ptr<litkey> m_key;
    config::State m_state;
};

void TestLitkey::init()
{
    m_key = std::make_unique<litkey>();
    m_key->resize(kWidth, kHeight);
    m_key->redraw();
}

void TestLitkey::defaults()
{
    const litkey key;
    QCOMPARE(key.litcolor, kDefaultLit);
    QCOMPARE(key.offcolor, kDefaultOff);
    QCOMPARE(key.lit, false);
    QCOMPARE(key.caption, QString());
    QCOMPARE(key.Textfont, QStringLiteral("tahoma"));
    QCOMPARE(key.TextLitcolor, kBlack);
    QCOMPARE(key.TextOffColor, kBlack);
    QCOMPARE(key.textsize, 12);
    QCOMPARE(key.Bold, true);
    QCOMPARE(key.underline, false);
    QCOMPARE(key.Italic, false);
    QCOMPARE(key.kursor, 0);
    QCOMPARE(key.Tag, 0);
    QCOMPARE(key.rad, 6);
    QCOMPARE(key.border, true);
    QCOMPARE(key.litcaption, QString());
    QCOMPARE(key.flitcaption, false);
}

void TestLitkey::setheight_data()
{
    QTest::addColumn<int>("h");
    QTest::addColumn<int>("textsize");
    QTest::addColumn<int>("rad");
    QTest::addColumn<bool>("plainOutline");

    QTest::newRow("20") << 20 << 11 << 6 << false;
    QTest::newRow("13") << 13 << 7 << 6 << false;
    QTest::newRow("12") << 12 << 6 << 6 << true;
    QTest::newRow("11") << 11 << 6 << 0 << true;
}

void TestLitkey::setheight()
{
    QFETCH(int, h);
    QFETCH(int, textsize);
    QFETCH(int, rad);
    QFETCH(bool, plainOutline);

    litkey& key = *m_key;
    key.resize(kWidth, 40);
    key.setheight(h);

    QCOMPARE(key.size(), QSize(kWidth, h));
    QCOMPARE(key.textsize, textsize);
    QCOMPARE(key.rad, rad);
    QCOMPARE(key.image().size(), QSize(kWidth, h));

    // A plain outline covers every corner pixel; a rounded one leaves them out.
    for (const QPoint corner :
         {QPoint(0, 0), QPoint(kWidth - 1, 0), QPoint(0, h - 1), QPoint(kWidth - 1, h - 1)}) {
        QCOMPARE(pixel(key, corner.x(), corner.y()) == kBlack, plainOutline);
    }
    // Both outlines run along the middle of every edge.
    QCOMPARE(pixel(key, kWidth / 2, 0), kBlack);
    QCOMPARE(pixel(key, kWidth / 2, h - 1), kBlack);
    QCOMPARE(pixel(key, 0, h / 2), kBlack);
    QCOMPARE(pixel(key, kWidth - 1, h / 2), kBlack);

    // The squared body is not drawn by setheight itself, only by the next redraw.
    QVERIFY(pixel(key, 1, 1) != kDefaultOff);
    key.redraw();
    QCOMPARE(pixel(key, 1, 1) == kDefaultOff, rad == 0);
}

void TestLitkey::setcolor_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QColor>("body");
    QTest::addColumn<QColor>("text");

    QTest::newRow("red") << "red" << kRed << kWhite;
    QTest::newRow("RED") << "RED" << kRed << kWhite;
    QTest::newRow("Lime") << "Lime" << kLime << kBlack;
    QTest::newRow("other") << "other" << kPaleGreen << kBlack;
    QTest::newRow("empty") << "" << kPaleGreen << kBlack;
}

void TestLitkey::setcolor()
{
    QFETCH(QString, name);
    QFETCH(QColor, body);
    QFETCH(QColor, text);

    litkey& key = *m_key;
    key.settextsize(11);
    key.setcaption(QStringLiteral("HH"));
    key.setcolor(name);

    QCOMPARE(key.litcolor, body);
    QCOMPARE(key.TextLitcolor, text);
    QCOMPARE(key.offcolor, kDefaultOff);
    QCOMPARE(key.TextOffColor, kBlack);
    QCOMPARE(key.lit, false);
    QCOMPARE(pixel(key, 3, kHeight / 2), kDefaultOff);

    key.setlit(true);
    QCOMPARE(pixel(key, 3, kHeight / 2), body);
    // Inside the outline only the caption can have the text colour.
    QVERIFY(countInside(key, text) > 0);
}

void TestLitkey::bodyColour_data()
{
    QTest::addColumn<bool>("lit");
    QTest::addColumn<QColor>("body");

    QTest::newRow("unlit") << false << QColor(0x10, 0x20, 0x30);
    QTest::newRow("lit") << true << QColor(0x80, 0xFF, 0x80);
}

void TestLitkey::bodyColour()
{
    QFETCH(bool, lit);
    QFETCH(QColor, body);

    litkey& key = *m_key;
    key.offcolor = QColor(0x10, 0x20, 0x30);
    key.litcolor = QColor(0x80, 0xFF, 0x80);
    key.lit = lit;
    key.redraw();

    // With no caption the key is body and outline only.
    QCOMPARE(textBounds(key, body), QRect());
    QCOMPARE(pixel(key, 3, kHeight / 2), body);
    QCOMPARE(pixel(key, kWidth - 2, kHeight / 2), body);
    QCOMPARE(pixel(key, kWidth / 2, kHeight - 2), body);
    QCOMPARE(pixel(key, 0, kHeight / 2), kBlack);
}

void TestLitkey::directAssignmentShowsAtNextPaint()
{
    litkey& key = *m_key;
    const QColor blue(0x00, 0x00, 0xFF);
    key.offcolor = blue;

    QCOMPARE(pixel(key, 3, kHeight / 2), kDefaultOff);
    QCOMPARE(key.grab().toImage().pixelColor(3, kHeight / 2), blue);
    QCOMPARE(pixel(key, 3, kHeight / 2), blue);
}

void TestLitkey::textSitsOnTheBaselineAndIsCentred()
{
    litkey& key = *m_key;
    key.settextsize(11);
    key.setcaption(QStringLiteral("HH"));

    // On a 20-pixel key the text is lifted by 2: the baseline is row 15 - 2 = 13, so an
    // "H" ends on row 12. Its left and right ends lie evenly about the middle column.
    const QRect text = textBounds(key, kDefaultOff);
    QVERIFY(!text.isEmpty());
    QCOMPARE(text.bottom(), 12);
    QVERIFY2(qAbs(text.left() + text.right() + 1 - kWidth) <= 2,
             qPrintable(QStringLiteral("text spans %1..%2").arg(text.left()).arg(text.right())));
}

void TestLitkey::wideCaptionIsCutAtTheEdges()
{
    litkey& key = *m_key;
    key.resize(30, kHeight);
    key.setcaption(QStringLiteral("A caption far wider than the key"));

    QCOMPARE(key.image().size(), QSize(30, kHeight));
    const QRect text = textBounds(key, kDefaultOff);
    QCOMPARE(text.left(), 1);
    QCOMPARE(text.right(), 28);
    QCOMPARE(pixel(key, 0, kHeight / 2), kBlack);
    QCOMPARE(pixel(key, 29, kHeight / 2), kBlack);
}

void TestLitkey::settag_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("startLit");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("lit");
    QTest::addColumn<QColor>("litcolor");
    QTest::addColumn<QColor>("textLitcolor");

    QTest::newRow("18 unlit") << 18 << false << "On" << false << kRed << kWhite;
    QTest::newRow("18 lit") << 18 << true << "On" << true << kRed << kWhite;
    QTest::newRow("19") << 19 << false << "Off" << true << kDefaultLit << kBlack;
    QTest::newRow("5") << 5 << false << ">>" << false << kDefaultLit << kBlack;
    QTest::newRow("unknown") << 7 << true << "???" << true << kDefaultLit << kBlack;
}

void TestLitkey::settag()
{
    QFETCH(int, code);
    QFETCH(bool, startLit);
    QFETCH(QString, caption);
    QFETCH(bool, lit);
    QFETCH(QColor, litcolor);
    QFETCH(QColor, textLitcolor);

    litkey& key = *m_key;
    key.setlit(startLit);
    key.settag(code);

    QCOMPARE(key.Tag, code);
    QCOMPARE(key.caption, caption);
    QCOMPARE(key.lit, lit);
    QCOMPARE(key.litcolor, litcolor);
    QCOMPARE(key.TextLitcolor, textLitcolor);
    QCOMPARE(key.offcolor, kDefaultOff);
}

void TestLitkey::settagSameValueDoesNothing_data()
{
    QTest::addColumn<int>("code");
    QTest::newRow("18") << 18;
    QTest::newRow("19") << 19;
}

void TestLitkey::settagSameValueDoesNothing()
{
    QFETCH(int, code);

    litkey& key = *m_key;
    key.settag(code);
    key.setlit(false);
    key.caption = QStringLiteral("Mine");
    key.litcolor = kDefaultLit;
    key.TextLitcolor = kBlack;
    const qint64 before = key.image().cacheKey();

    key.settag(code);

    QCOMPARE(key.caption, QStringLiteral("Mine"));
    QCOMPARE(key.lit, false);
    QCOMPARE(key.litcolor, kDefaultLit);
    QCOMPARE(key.TextLitcolor, kBlack);
    QCOMPARE(key.image().cacheKey(), before);
}

void TestLitkey::settagKeepsKeyLit()
{
    litkey& key = *m_key;
    key.settag(19);
    QVERIFY(key.lit);

    key.settag(20);
    QCOMPARE(key.caption, QStringLiteral("Rhs"));
    QVERIFY(key.lit);
}

void TestLitkey::settagnumShowsNumber()
{
    litkey& key = *m_key;
    key.settagnum(19);

    QCOMPARE(key.Tag, 19);
    QCOMPARE(key.caption, QStringLiteral("19"));
    QCOMPARE(key.lit, false);
    QCOMPARE(key.litcolor, kDefaultLit);
    QCOMPARE(key.TextLitcolor, kBlack);

    // The code is stored, so asking for the same code through the table changes nothing.
    key.settag(19);
    QCOMPARE(key.caption, QStringLiteral("19"));
    QCOMPARE(key.lit, false);
}

void TestLitkey::litcaption()
{
    // Reference keys showing "Busy" and "Idle" as their plain caption while lit.
    litkey busy;
    busy.resize(kWidth, kHeight);
    busy.caption = QStringLiteral("Busy");
    busy.lit = true;
    busy.redraw();
    litkey idle;
    idle.resize(kWidth, kHeight);
    idle.caption = QStringLiteral("Idle");
    idle.lit = true;
    idle.redraw();
    QVERIFY(busy.image() != idle.image());

    litkey& key = *m_key;
    key.setcaption(QStringLiteral("Idle"));
    key.Setlitcaption(QStringLiteral("Busy"));
    QCOMPARE(key.litcaption, QStringLiteral("Busy"));
    QCOMPARE(key.flitcaption, true);

    key.setlit(true);
    QCOMPARE(key.image(), busy.image());

    key.Setlitcaption(QString());
    QCOMPARE(key.litcaption, QString());
    QCOMPARE(key.flitcaption, false);
    QCOMPARE(key.image(), idle.image());
}

void TestLitkey::redrawOnlyOnChange_data()
{
    QTest::addColumn<Step>("setup");
    QTest::addColumn<Step>("change");
    QTest::addColumn<bool>("redraws");

    const Step none = [](litkey&) {
    };
    const Step captioned = [](litkey& k) {
        k.setcaption(QStringLiteral("Caption"));
    };
    const Step lit = [](litkey& k) {
        k.setlit(true);
    };

    QTest::newRow("setcaption letter case")
        << captioned << Step([](litkey& k) { k.setcaption(QStringLiteral("CAPTION")); }) << false;
    QTest::newRow("setcaption new text")
        << captioned << Step([](litkey& k) { k.setcaption(QStringLiteral("Other")); }) << true;
    QTest::newRow("setlit same") << none << Step([](litkey& k) { k.setlit(false); }) << false;
    QTest::newRow("setlit change") << none << Step([](litkey& k) { k.setlit(true); }) << true;
    QTest::newRow("setkursor same") << none << Step([](litkey& k) { k.setkursor(0); }) << false;
    QTest::newRow("setkursor change") << none << Step([](litkey& k) { k.setkursor(3); }) << true;
    QTest::newRow("setrad same") << none << Step([](litkey& k) { k.setrad(6); }) << true;
    QTest::newRow("settextsize same") << none << Step([](litkey& k) { k.settextsize(12); }) << true;
    QTest::newRow("setcolor same")
        << Step([](litkey& k) { k.setcolor(QStringLiteral("red")); })
        << Step([](litkey& k) { k.setcolor(QStringLiteral("RED")); }) << true;
    QTest::newRow("settag same") << Step([](litkey& k) { k.settag(5); })
                                 << Step([](litkey& k) { k.settag(5); }) << false;
    QTest::newRow("Setlitcaption unlit")
        << none << Step([](litkey& k) { k.Setlitcaption(QStringLiteral("Busy")); }) << false;
    QTest::newRow("Setlitcaption lit")
        << lit << Step([](litkey& k) { k.Setlitcaption(QStringLiteral("Busy")); }) << true;
    QTest::newRow("Setlitcaption letter case") << Step([](litkey& k) {
        k.setlit(true);
        k.Setlitcaption(QStringLiteral("Busy"));
    }) << Step([](litkey& k) { k.Setlitcaption(QStringLiteral("BUSY")); })
                                               << false;
}

void TestLitkey::redrawOnlyOnChange()
{
    QFETCH(Step, setup);
    QFETCH(Step, change);
    QFETCH(bool, redraws);

    litkey& key = *m_key;
    setup(key);
    const QString caption = key.caption;
    const qint64 before = key.image().cacheKey();

    change(key);

    QCOMPARE(key.image().cacheKey() != before, redraws);
    if (!redraws)
        QCOMPARE(key.caption, caption);
}

void TestLitkey::pressRaisesAction()
{
    litkey& key = *m_key;
    QSignalSpy spy(&key, &litkey::action);

    QTest::mousePress(&key, Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<litkey*>(), &key);

    QTest::mouseRelease(&key, Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(spy.count(), 1);

    // The press is taken whether or not anyone listens.
    litkey lonely;
    lonely.resize(kWidth, kHeight);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 10), QPointF(10, 10), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    press.ignore();
    QCoreApplication::sendEvent(&lonely, &press);
    QVERIFY(press.isAccepted());
}

void TestLitkey::openTakesFontFromSettings_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("font");

    QTest::newRow("stored") << QByteArray("basefont\nCourier\n") << "Courier";
    QTest::newRow("no file") << QByteArray() << "Tahoma";
}

void TestLitkey::openTakesFontFromSettings()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, font);

    const QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (!file.isEmpty()) {
        QFile ini(dir.filePath(QStringLiteral("quillet.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(file);
    }
    m_state = {};
    m_state.folder = dir.path();
    config::wire(m_state);
    config::initconfig(QStringLiteral("quillet"));

    // The console's keys as laid out: text size 0 and the "System" font until they open.
    litkey& key = *m_key;
    key.textsize = 0;
    key.Textfont = QStringLiteral("System");
    key.Event_Open();

    QCOMPARE(key.Textfont, font);
    QCOMPARE(key.textsize, 11);
    QCOMPARE(key.rad, 6);
    QCOMPARE(key.size(), QSize(kWidth, kHeight));
}

QTEST_MAIN(TestLitkey)
#include "tst_litkey.moc"
