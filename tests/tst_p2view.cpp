#include "TrafficModel.h"
#include "p2sr.h"
#include "p2view.h"

#include <QCheckBox>
#include <QListView>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <memory>

namespace {

// The endpoint's 21-byte frame buffer holding a frame, and after it bytes left over from
// an earlier, longer frame.
p2sr::Frame bufferHolding(const QByteArray& bytes)
{
    p2sr::Frame buffer;
    buffer.fill(0xEE);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        buffer[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(bytes[i]);
    return buffer;
}

QByteArray hex(const char* digits)
{
    return QByteArray::fromHex(digits);
}

void addRow(TrafficModel& model, const QString& prefix, const QByteArray& bytes)
{
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    model.addRow(prefix, std::span(data, static_cast<std::size_t>(bytes.size())));
}

// Counts how often the list asks for a row: a list that walks the whole log on every new
// row asks for each of them.
class CountingModel : public TrafficModel
{
public:
    using TrafficModel::TrafficModel;

    QModelIndex index(int row, int column, const QModelIndex& parent) const override
    {
        ++lookups;
        return TrafficModel::index(row, column, parent);
    }

    mutable int lookups = 0;
};

} // namespace

class TestP2view : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowAtStart();
    void contentSizeAllowsForMenuBar();
    void controlsKeepTheirDistances_data();
    void controlsKeepTheirDistances();
    void contentSizeLimits();
    void rowText_data();
    void rowText();
    void newestRowOnTopLeavesSelectionAndScrollAlone();
    void clickAndKeysReachTheRowsShown();
    void newRowCostDoesNotGrowWithTheLog();
    void pauseDropsRows();
    void clearWhilePausedKeepsPause();
    void closeHidesAndRowsSurvive();
    void showhideToggles();
    void capDropsOldestRows();
    void manyPrefixesAndLongBuffers();

private:
    void showView();
    void resizeContent(const QSize& size);
    [[nodiscard]] QStringList rows() const;

    std::unique_ptr<p2view> m_view;
};

void TestP2view::init()
{
    m_view = std::make_unique<p2view>();
}

void TestP2view::cleanup()
{
    m_view.reset();
}

void TestP2view::showView()
{
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
}

void TestP2view::resizeContent(const QSize& size)
{
    const QSize bars = m_view->size() - m_view->centralWidget()->size();
    m_view->resize(size + bars);
    QTRY_COMPARE(m_view->centralWidget()->size(), size);
}

// The rows as the list shows them, top first.
QStringList TestP2view::rows() const
{
    const QAbstractItemModel* model = m_view->p2list->model();
    QStringList texts;
    for (int row = 0; row < model->rowCount(); ++row)
        texts.append(model->index(row, 0).data().toString());
    return texts;
}

void TestP2view::windowAtStart()
{
    QVERIFY(!m_view->isVisible());
    QVERIFY(!m_view->showing());
    showView();

    QCOMPARE(m_view->windowTitle(), QStringLiteral("P2 Communications View"));
    QCOMPARE(m_view->centralWidget()->size(), QSize(544, 365));
    const Qt::WindowFlags flags = m_view->windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowCloseButtonHint));

    QCOMPARE(m_view->pf->text(), QStringLiteral("Pause"));
    QVERIFY(!m_view->pf->isChecked());
    QCOMPARE(m_view->BevelButton2->text(), QStringLiteral("Clear"));
    QCOMPARE(m_view->BevelButton1->text(), QStringLiteral("Close"));

    const QListView* list = m_view->p2list;
    QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(list->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    QVERIFY(list->frameShape() != QFrame::NoFrame);
    QCOMPARE(list->model()->rowCount(), 0);
    QCOMPARE(m_view->model().cap(), 2'000'000);
}

// The application gives the window its menu bar after creating it.
void TestP2view::contentSizeAllowsForMenuBar()
{
    auto* bar = new QMenuBar;
    bar->addMenu(QStringLiteral("File"));
    m_view->setMenuBar(bar);
    showView();

    QVERIFY(bar->height() > 0);
    QCOMPARE(m_view->centralWidget()->size(), QSize(544, 365));
    QCOMPARE(m_view->p2list->geometry(), QRect(19, 14, 505, 301));
}

void TestP2view::controlsKeepTheirDistances_data()
{
    QTest::addColumn<QSize>("content");
    QTest::addColumn<QRect>("list");
    QTest::addColumn<QRect>("pause");
    QTest::addColumn<QRect>("clear");
    QTest::addColumn<QRect>("close");

    QTest::newRow("start") << QSize(544, 365) << QRect(19, 14, 505, 301) << QRect(22, 330, 100, 20)
                           << QRect(362, 327, 60, 22) << QRect(451, 327, 60, 22);
    QTest::newRow("larger") << QSize(744, 465) << QRect(19, 14, 705, 401) << QRect(22, 430, 100, 20)
                            << QRect(562, 427, 60, 22) << QRect(651, 427, 60, 22);
    QTest::newRow("smaller") << QSize(444, 315) << QRect(19, 14, 405, 251)
                             << QRect(22, 280, 100, 20) << QRect(262, 277, 60, 22)
                             << QRect(351, 277, 60, 22);
}

void TestP2view::controlsKeepTheirDistances()
{
    QFETCH(QSize, content);
    QFETCH(QRect, list);
    QFETCH(QRect, pause);
    QFETCH(QRect, clear);
    QFETCH(QRect, close);

    showView();
    resizeContent(content);

    QCOMPARE(m_view->p2list->geometry(), list);
    QCOMPARE(m_view->pf->geometry(), pause);
    QCOMPARE(m_view->BevelButton2->geometry(), clear);
    QCOMPARE(m_view->BevelButton1->geometry(), close);
}

void TestP2view::contentSizeLimits()
{
    showView();
    const QSize bars = m_view->size() - m_view->centralWidget()->size();
    QCOMPARE(m_view->maximumSize() - bars, QSize(32000, 32000));

    m_view->resize(10, 10);
    QTRY_COMPARE(m_view->centralWidget()->size(), QSize(64, 64));
}

void TestP2view::rowText_data()
{
    QTest::addColumn<bool>("received");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");

    // Sent frames go through Disp_string; received ones through Disp_array with "Rx-",
    // from a buffer whose slots after the frame hold stale bytes.
    QTest::newRow("sent") << false << hex("200121") << QStringLiteral("20 01 21 ");
    QTest::newRow("received") << true << hex("200121") << QStringLiteral("Rx-20 01 21 ");
    QTest::newRow("upper-case digits")
        << false << hex("02b00b00bd") << QStringLiteral("02 B0 0B 00 BD ");
    QTest::newRow("received, no data bytes")
        << true << hex("001111") << QStringLiteral("Rx-00 11 11 ");
    QTest::newRow("received, 15 data bytes")
        << true << hex("0fb00102030405060708090a0b0c0d0e0f37")
        << QStringLiteral("Rx-0F B0 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 37 ");
    QTest::newRow("received, earlier frame's bytes after the checksum")
        << true << hex("100111b0010203") << QStringLiteral("Rx-10 01 11 ");
    QTest::newRow("sent, longer than any frame")
        << false << hex("000102030405060708090a0b0c0d0e0f10111213")
        << QStringLiteral("00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 ");
}

void TestP2view::rowText()
{
    QFETCH(bool, received);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);

    if (received)
        m_view->Disp_array(bufferHolding(bytes), QStringLiteral("Rx-"));
    else
        m_view->Disp_string(bytes);

    QCOMPARE(rows(), QStringList{expected});
    QCOMPARE(m_view->model().rowText(0), expected);
}

void TestP2view::newestRowOnTopLeavesSelectionAndScrollAlone()
{
    showView();
    for (int i = 0; i < 100; ++i)
        m_view->Disp_string(hex("001111"));
    m_view->Disp_array(bufferHolding(hex("100111")), QStringLiteral("Rx-"));

    QListView* list = m_view->p2list;
    list->setCurrentIndex(list->model()->index(0, 0));
    QScrollBar* scroll = list->verticalScrollBar();
    QTRY_VERIFY(scroll->maximum() > 20);
    scroll->setValue(10);

    m_view->Disp_string(hex("01b000b1"));
    m_view->Disp_mb(hex("01b001b2"));

    const QStringList texts = rows();
    QCOMPARE(texts.size(), 103);
    QCOMPARE(texts.mid(0, 3),
             (QStringList{QStringLiteral("01 B0 01 B2 "), QStringLiteral("01 B0 00 B1 "),
                          QStringLiteral("Rx-10 01 11 ")}));
    QCOMPARE(texts.last(), QStringLiteral("00 11 11 "));

    const QModelIndexList selected = list->selectionModel()->selectedIndexes();
    QCOMPARE(selected.size(), 1);
    QCOMPARE(selected.first().row(), 2);
    QCOMPARE(list->currentIndex().row(), 2);
    QCoreApplication::processEvents();
    QCOMPARE(scroll->value(), 10);
}

void TestP2view::clickAndKeysReachTheRowsShown()
{
    showView();
    for (int i = 0; i < 50; ++i)
        m_view->Disp_string(QByteArray(1, static_cast<char>(i)));
    QListView* list = m_view->p2list;
    QTRY_VERIFY(list->verticalScrollBar()->maximum() > 10);

    // Rows are numbered from the top, so row r holds byte 49 - r.
    list->verticalScrollBar()->setValue(10);
    const QModelIndex topShown = list->indexAt(QPoint(5, 1));
    QCOMPARE(topShown.row(), 10);
    QCOMPARE(topShown.data().toString(), QStringLiteral("27 "));

    const QModelIndex twelve = list->model()->index(12, 0);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(twelve).center());
    QCOMPARE(list->selectionModel()->selectedIndexes(), QModelIndexList{twelve});

    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(list->currentIndex().row(), 13);
    QTest::keyClick(list, Qt::Key_End);
    QCOMPARE(list->currentIndex().row(), 49);
    QVERIFY(list->viewport()->rect().intersects(list->visualRect(list->currentIndex())));
    QCOMPARE(list->selectionModel()->selectedIndexes().size(), 1);
}

void TestP2view::newRowCostDoesNotGrowWithTheLog()
{
    CountingModel model;
    for (int i = 0; i < 20'000; ++i)
        addRow(model, {}, hex("09b0010102030405060708ff"));
    m_view->p2list->setModel(&model);
    showView();
    QCoreApplication::processEvents();

    model.lookups = 0;
    addRow(model, QStringLiteral("Rx-"), hex("100111"));
    QCoreApplication::processEvents();
    QVERIFY2(model.lookups < 500, qPrintable(QString::number(model.lookups)));
    m_view->p2list->setModel(nullptr);
}

void TestP2view::pauseDropsRows()
{
    m_view->Disp_string(hex("00aa"));
    m_view->pf->click();
    QVERIFY(m_view->pf->isChecked());
    m_view->Disp_string(hex("00bb"));
    m_view->Disp_mb(hex("00cc"));
    m_view->Disp_array(bufferHolding(hex("100111")), QStringLiteral("Rx-"));
    QCOMPARE(rows(), QStringList{QStringLiteral("00 AA ")});

    m_view->pf->click();
    m_view->Disp_array(bufferHolding(hex("1001aa")), QStringLiteral("Rx-"));
    QCOMPARE(rows(), (QStringList{QStringLiteral("Rx-10 01 AA "), QStringLiteral("00 AA ")}));
}

void TestP2view::clearWhilePausedKeepsPause()
{
    m_view->Disp_string(hex("00aa"));
    m_view->Disp_string(hex("00bb"));
    m_view->pf->click();
    m_view->BevelButton2->click();

    QCOMPARE(m_view->p2list->model()->rowCount(), 0);
    QVERIFY(m_view->pf->isChecked());

    m_view->pf->click();
    m_view->Disp_string(hex("00cc"));
    QCOMPARE(rows(), QStringList{QStringLiteral("00 CC ")});
}

void TestP2view::closeHidesAndRowsSurvive()
{
    showView();
    m_view->Disp_string(hex("00aa"));
    m_view->pf->click();

    m_view->BevelButton1->click();
    QVERIFY(!m_view->isVisible());
    QVERIFY(!m_view->showing());

    m_view->Showhide();
    QVERIFY(m_view->isVisible());
    QCOMPARE(rows(), QStringList{QStringLiteral("00 AA ")});
    QVERIFY(m_view->pf->isChecked());
    QCOMPARE(m_view->centralWidget()->size(), QSize(544, 365));
}

void TestP2view::showhideToggles()
{
    m_view->Showhide();
    QVERIFY(m_view->showing());
    QVERIFY(QTest::qWaitForWindowActive(m_view.get()));

    m_view->Showhide();
    QVERIFY(!m_view->showing());

    m_view->Showhide();
    QVERIFY(m_view->showing());
}

// The oldest rows leave from the bottom, one by one, including rows too long for a frame.
void TestP2view::capDropsOldestRows()
{
    TrafficModel model(3);
    QSignalSpy removing(&model, &QAbstractItemModel::rowsAboutToBeRemoved);

    addRow(model, {}, hex("01"));
    addRow(model, {}, QByteArray(20, '\x22'));
    addRow(model, QStringLiteral("Rx-"), hex("100111"));
    addRow(model, {}, QByteArray(19, '\x44'));
    addRow(model, {}, hex("05"));

    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.rowText(0), QStringLiteral("05 "));
    QCOMPARE(model.rowText(1), QStringLiteral("44 ").repeated(19));
    QCOMPARE(model.rowText(2), QStringLiteral("Rx-10 01 11 "));
    QCOMPARE(removing.size(), 2);
    for (const QList<QVariant>& args : removing) {
        QCOMPARE(args.at(1).toInt(), 2);
        QCOMPARE(args.at(2).toInt(), 2);
    }

    addRow(model, QStringLiteral("Tx-"), QByteArray(25, '\x66'));
    addRow(model, {}, hex("07"));
    QCOMPARE(model.rowText(0), QStringLiteral("07 "));
    QCOMPARE(model.rowText(1), QStringLiteral("Tx-") + QStringLiteral("66 ").repeated(25));
    QCOMPARE(model.rowText(2), QStringLiteral("05 "));
}

void TestP2view::manyPrefixesAndLongBuffers()
{
    TrafficModel model;
    constexpr int kRows = 300;
    for (int i = 0; i < kRows; ++i)
        addRow(model, QStringLiteral("P%1-").arg(i),
               QByteArray(i % 30, static_cast<char>(i % 256)));

    QCOMPARE(model.rowCount(), kRows);
    for (int i = 0; i < kRows; ++i) {
        const QString bytes = QStringLiteral("%1 ").arg(i % 256, 2, 16, QLatin1Char('0')).toUpper();
        QCOMPARE(model.rowText(kRows - 1 - i),
                 QStringLiteral("P%1-").arg(i) + bytes.repeated(i % 30));
    }

    model.clear();
    QCOMPARE(model.rowCount(), 0);
    addRow(model, QStringLiteral("Rx-"), hex("100111"));
    QCOMPARE(model.rowText(0), QStringLiteral("Rx-10 01 11 "));
}

QTEST_MAIN(TestP2view)
#include "tst_p2view.moc"
