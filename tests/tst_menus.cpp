#include "App.h"
#include "Desktop.h"
#include "World.h"
#include "p2view.h"
#include "prefw.h"

#include <QAction>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

class TestMenus : public QObject
{
    Q_OBJECT

private slots:
    void everyWindowShowsTheSameMenus();
    void consoleItemsFollowTheActiveWindow();
    void testFunctions_data();
    void testFunctions();
    void manualDialog();
    void editItemsFollowTheFocusedField();
};

void TestMenus::everyWindowShowsTheSameMenus()
{
    World world;
    world.start();
    for (QMainWindow* window :
         std::initializer_list<QMainWindow*>{world.splash.get(), &world.console(), &world.view()}) {
        QStringList titles;
        for (QAction* menu : window->menuBar()->actions())
            titles.append(menu->text());
        QCOMPARE(titles, (QStringList{"&File", "View", "&Edit", "Help"}));
        const QList<QAction*> view = window->menuBar()->actions().at(1)->menu()->actions();
        QCOMPARE(view, QList<QAction*>{world.menus.ViewTestFunctions});
    }
    QCOMPARE(world.menus.FileQuit->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
    QCOMPARE(world.menus.EditSelectAll->shortcut(), QKeySequence(QStringLiteral("Ctrl+A")));
    QCOMPARE(world.menus.EditClear->text(), QStringLiteral("&Delete"));
}

void TestMenus::consoleItemsFollowTheActiveWindow()
{
    World world;
    world.start();
    const MenuBar1& m = world.menus;

    QApplication::setActiveWindow(world.splash.get());
    QTRY_VERIFY(QApplication::activeWindow() == world.splash.get());
    QVERIFY(!m.FileAbort->isEnabled());
    QVERIFY(!m.ViewTestFunctions->isEnabled());
    QVERIFY(m.Helppdf->isEnabled());
    QVERIFY(m.FileQuit->isEnabled());

    world.splash->BevelButton1->click();
    QApplication::setActiveWindow(&world.console());
    QTRY_VERIFY(m.FileAbort->isEnabled());
    QVERIFY(m.ViewTestFunctions->isEnabled());

    world.view().show();
    QApplication::setActiveWindow(&world.view());
    QTRY_VERIFY(!m.FileAbort->isEnabled());
    QVERIFY(!m.ViewTestFunctions->isEnabled());
    QVERIFY(m.Helppdf->isEnabled());
}

void TestMenus::testFunctions_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("shownAtStart");
    QTest::addColumn<bool>("shownAfterFirst");
    QTest::addColumn<QString>("storedAfterFirst");
    QTest::addColumn<bool>("firstRewrites");

    QTest::newRow("stored false") << "false" << false << true << "true" << true;
    QTest::newRow("stored true") << "true" << true << true << "true" << false;
    QTest::newRow("stored in capitals") << "TRUE" << true << true << "TRUE" << false;
}

void TestMenus::testFunctions()
{
    QFETCH(QString, stored);
    QFETCH(bool, shownAtStart);
    QFETCH(bool, shownAfterFirst);
    QFETCH(QString, storedAfterFirst);
    QFETCH(bool, firstRewrites);

    World world;
    world.writeSettings({"showtest", stored});
    world.start();
    prefw& c = world.console();
    QAction* item = world.menus.ViewTestFunctions;
    world.splash->BevelButton1->click();
    QApplication::setActiveWindow(&c);
    QTRY_VERIFY(item->isEnabled());

    QVERIFY(!item->isChecked()); // never taken from the stored setting
    QCOMPARE(!c.kverify->isHidden(), shownAtStart);
    QCOMPARE(!c.ktest->isHidden(), shownAtStart);

    const QByteArray before = world.settingsText();
    item->trigger();
    QVERIFY(item->isChecked());
    QCOMPARE(!c.kverify->isHidden(), shownAfterFirst);
    QCOMPARE(!c.ktest->isHidden(), shownAfterFirst);
    QCOMPARE(config::getstring(QStringLiteral("Showtest")), storedAfterFirst);
    QCOMPARE(world.settingsText() != before, firstRewrites);

    item->trigger();
    QVERIFY(!item->isChecked());
    QVERIFY(c.kverify->isHidden());
    QVERIFY(c.ktest->isHidden());
    QVERIFY(world.settingsText().startsWith("showtest\nfalse\n"));
}

void TestMenus::manualDialog()
{
    World world;
    world.start();
    QList<Desktop::FileRequest> asked;
    QStringList opened;
    QString answer;
    const auto oldChooser =
        Desktop::installChooser([&](QWidget*, const Desktop::FileRequest& request) {
            asked.append(request);
            return answer;
        });
    const auto oldOpener = Desktop::installOpener([&](const QString& path) {
        opened.append(path);
        return true;
    });

    QTemporaryDir elsewhere;
    const QString manual = elsewhere.filePath(QStringLiteral("LX-240.pdf"));
    QFile(manual).open(QIODevice::WriteOnly);

    // The application object handles the item, whatever window is in front.
    QAction* item = qobject_cast<App*>(qApp)->menus()->Helppdf;
    answer = manual;
    item->trigger();
    answer.clear(); // cancelled
    item->trigger();
    answer = elsewhere.filePath(QStringLiteral("gone.pdf"));
    item->trigger();

    Desktop::installChooser(oldChooser);
    Desktop::installOpener(oldOpener);

    QCOMPARE(asked.size(), 3);
    for (const Desktop::FileRequest& request : std::as_const(asked)) {
        QCOMPARE(request.title, QStringLiteral("Select a pdf file"));
        QCOMPARE(request.folder, QApplication::applicationDirPath()); // every time
        QVERIFY(request.filter.contains(QStringLiteral("*.pdf")));
        QVERIFY(!request.filter.contains(QStringLiteral("*.bin")));
    }
    QCOMPARE(opened, QStringList{manual});
}

void TestMenus::editItemsFollowTheFocusedField()
{
    World world;
    world.start();
    world.splash->BevelButton1->click();
    prefw& c = world.console();
    const MenuBar1& m = world.menus;
    QApplication::setActiveWindow(&c);
    c.TabPanel1->setCurrentIndex(3);
    QTRY_VERIFY(QApplication::activeWindow() == &c);

    c.dbugaddr->setFocus();
    QTRY_VERIFY(c.dbugaddr->hasFocus());
    QVERIFY(!m.EditCopy->isEnabled());
    QVERIFY(!m.EditSelectAll->isEnabled());

    c.dbugaddr->setText(QStringLiteral("1A2B"));
    QVERIFY(m.EditSelectAll->isEnabled());
    m.EditSelectAll->trigger();
    QCOMPARE(c.dbugaddr->selectedText(), QStringLiteral("1A2B"));
    QVERIFY(m.EditCopy->isEnabled());
    QVERIFY(m.EditCut->isEnabled());
    m.EditClear->trigger();
    QCOMPARE(c.dbugaddr->text(), QString());

    c.kclose->setFocus(); // not a text field
    QTRY_VERIFY(!m.EditSelectAll->isEnabled());
}

int main(int argc, char* argv[])
{
    App app(argc, argv);
    TestMenus tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "tst_menus.moc"
