#include "uisr.h"

#include <QTest>

class TestCaptions : public QObject
{
    Q_OBJECT

private slots:
    void caption_data();
    void caption();
};

void TestCaptions::caption_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("caption");

    const QList<std::pair<int, const char*>> table = {
        {1, "[]"},      {2, "||"},      {3, ">"},     {4, "<"},      {5, ">>"},    {6, "<<"},
        {11, "Goto"},   {18, "On"},     {19, "Off"},  {20, "Rhs"},   {21, "Auto"}, {22, "Man"},
        {23, "Rvw"},    {128, "-"},     {129, "+"},   {130, "||<"},  {131, "|<"},  {132, ">|"},
        {133, "M. In"}, {134, "M.Out"}, {135, ">||"}, {136, "Loop"}, {137, "10>"}, {138, "<10"},
        {0x8E, "^"},    {0x8F, "v"},
    };
    for (const auto& [code, caption] : table)
        QTest::addRow("%d", code) << code << QString::fromLatin1(caption);

    for (const int code : {0, 7, 8, 9, 10, 12, 17, 24, 127, 139, 140, 141, 144, 255, 256, -1, -128,
                           std::numeric_limits<int>::min()})
        QTest::addRow("unknown %d", code) << code << QStringLiteral("???");
}

void TestCaptions::caption()
{
    QFETCH(int, code);
    QFETCH(QString, caption);
    QCOMPARE(uisr::cmd2caption(code), caption);
}

QTEST_GUILESS_MAIN(TestCaptions)
#include "tst_captions.moc"
