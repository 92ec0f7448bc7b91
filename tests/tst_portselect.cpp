#include "Alert.h"
#include "Pty.h"
#include "config.h"
#include "p2serial.h"
#include "portselect.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The selector against real pseudo-terminals named as --port paths.
class TestPortSelect : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void listsNoneThenThePorts();
    void restore_data();
    void restore();
    void choosingNoneClosesThePort();
    void choiceIsStoredBeforeTheOpen();
    void refreshKeepsTheOpenPort();
    void demoDeviceIsNeverRemembered();

private:
    void start(const QString& stored);
    [[nodiscard]] int rowOf(const QString& text) const { return m_select->findText(text); }

    std::unique_ptr<Pty> m_first;
    std::unique_ptr<Pty> m_second;
    std::unique_ptr<QTemporaryDir> m_dir;
    config::State m_settings;
    std::unique_ptr<p2serial> m_port;
    std::unique_ptr<portselect> m_select;
    QStringList m_alerts;
    QString m_storedAtAlert;
    Alert::Handler m_previousAlert;
    const QString m_gone = QStringLiteral("/dev/quillet-no-such-port");
};

void TestPortSelect::init()
{
    m_first = std::make_unique<Pty>();
    m_second = std::make_unique<Pty>();
    m_dir = std::make_unique<QTemporaryDir>();
    m_settings = {};
    m_settings.folder = m_dir->path();
    config::wire(m_settings);
    config::initconfig(QStringLiteral("quillet"));
    m_port = std::make_unique<p2serial>();
    m_port->setPortList(PortList({m_first->slavePath(), m_second->slavePath(), m_gone}));
    m_select = std::make_unique<portselect>(*m_port);
    m_alerts.clear();
    m_previousAlert = Alert::install([this](const QString& text, const QString&) {
        m_alerts.append(text);
        m_storedAtAlert = config::getstring(QLatin1String(portselect::kKey));
    });
}

void TestPortSelect::cleanup()
{
    Alert::install(m_previousAlert);
    m_select.reset();
    m_port.reset();
}

void TestPortSelect::start(const QString& stored)
{
    if (!stored.isNull())
        config::putconfig(QLatin1String(portselect::kKey), stored);
    m_select->Event_Open();
}

void TestPortSelect::listsNoneThenThePorts()
{
    start(QString());
    QCOMPARE(m_select->itemText(0), QStringLiteral("none"));
    const int n = m_select->count();
    QCOMPARE(m_select->itemText(n - 3), m_first->slavePath());
    QCOMPARE(m_select->itemText(n - 2), m_second->slavePath());
    QCOMPARE(m_select->itemText(n - 1), m_gone);
    QCOMPARE(m_select->currentIndex(), -1); // nothing stored: nothing chosen or opened
    QVERIFY(!m_port->isOpen());
}

void TestPortSelect::restore_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("selected"); // empty: no row
    QTest::addColumn<bool>("open");

    QTest::newRow("by name") << "{port}"
                             << "{port}" << true;
    QTest::newRow("ignoring letter case") << "{PORT}"
                                          << "{port}" << true;
    QTest::newRow("none") << "none"
                          << "none" << false;
    QTest::newRow("a port that is gone") << "/dev/pts/quillet-unplugged"
                                         << "" << false;
}

void TestPortSelect::restore()
{
    QFETCH(QString, stored);
    QFETCH(QString, selected);
    QFETCH(bool, open);

    // {port} stands for the second pseudo-terminal's path, {PORT} for it in capitals
    const auto path = [this](QString text) {
        return text.replace(QLatin1String("{port}"), m_second->slavePath())
            .replace(QLatin1String("{PORT}"), m_second->slavePath().toUpper());
    };
    start(path(stored));

    QCOMPARE(m_select->currentIndex(), selected.isEmpty() ? -1 : rowOf(path(selected)));
    QCOMPARE(m_port->isOpen(), open);
    if (open)
        QCOMPARE(m_port->portname, m_second->slavePath());
    QCOMPARE(config::getstring(QLatin1String(portselect::kKey)), path(stored)); // untouched
    QVERIFY(m_alerts.isEmpty());
}

void TestPortSelect::choosingNoneClosesThePort()
{
    start(m_first->slavePath());
    QVERIFY(m_port->isOpen());

    m_select->setCurrentIndex(0);
    QVERIFY(!m_port->isOpen());
    QCOMPARE(config::getstring(QLatin1String(portselect::kKey)), QStringLiteral("none"));
    QVERIFY(m_alerts.isEmpty());
}

void TestPortSelect::choiceIsStoredBeforeTheOpen()
{
    start(m_first->slavePath());
    m_select->setCurrentIndex(rowOf(m_gone));

    QCOMPARE(m_alerts, QStringList{QStringLiteral("Error opening Controller serial port")});
    QCOMPARE(m_storedAtAlert, m_gone);
    QCOMPARE(m_select->currentText(), m_gone); // the row stays chosen
    QVERIFY(!m_port->serialopen);
}

void TestPortSelect::refreshKeepsTheOpenPort()
{
    start(m_first->slavePath());
    QVERIFY(m_port->isOpen());
    const QByteArray storedBefore = m_settings.parray[1];

    m_select->refresh();

    QCOMPARE(m_select->currentIndex(), -1);
    QVERIFY(m_select->count() >= 4);
    QVERIFY(m_port->isOpen());
    QCOMPARE(m_port->portname, m_first->slavePath());
    QCOMPARE(m_settings.parray[1], storedBefore);
}

void TestPortSelect::demoDeviceIsNeverRemembered()
{
    Pty demo;
    m_port->setPortList(PortList({m_first->slavePath(), m_second->slavePath()}, demo.slavePath()));
    config::putconfig(QLatin1String(portselect::kKey), m_first->slavePath());
    QFile::remove(config::path());

    m_select->Event_Open();
    const QString demoName = QStringLiteral("Simulated device (%1)").arg(demo.slavePath());
    QCOMPARE(m_select->currentText(), demoName);
    QCOMPARE(m_port->portname, demoName);
    QVERIFY(!QFile::exists(config::path())); // neither the choice nor "controlport" written
    QCOMPARE(config::getstring(QLatin1String(portselect::kKey)), m_first->slavePath());

    m_select->setCurrentIndex(rowOf(m_second->slavePath()));
    QCOMPARE(config::getstring(QLatin1String(portselect::kKey)), m_second->slavePath());
    m_select->setCurrentIndex(rowOf(demoName));
    QVERIFY(m_port->isOpen());
    QCOMPARE(config::getstring(QLatin1String(portselect::kKey)), m_second->slavePath());
    QCOMPARE(config::getstring(QStringLiteral("controlport")), m_second->slavePath());
}

QTEST_MAIN(TestPortSelect)
#include "tst_portselect.moc"
