#pragma once

#include <QObject>
#include <QPointer>

class QAction;
class QMainWindow;
class QWidget;

// The one menu bar of the program: File, View, Edit and Help. Linux has no global menu
// bar, so every window shows its own bar built from this one set of actions; "Test
// Functions" therefore has one check mark for all windows.
class MenuBar1 : public QObject
{
    Q_OBJECT

public:
    explicit MenuBar1(QObject* parent = nullptr);

    // Gives the window a menu bar with the shared menus.
    void install(QMainWindow* window);
    // "Abort" and "Test Functions" act on the console and are available while it is the
    // active window.
    void setConsole(QWidget* console);

    QAction* FileQuit = nullptr;
    QAction* FileAbort = nullptr;
    QAction* ViewTestFunctions = nullptr;
    QAction* EditUndo = nullptr;
    QAction* EditCut = nullptr;
    QAction* EditCopy = nullptr;
    QAction* EditPaste = nullptr;
    QAction* EditClear = nullptr;
    QAction* EditSelectAll = nullptr;
    QAction* Helppdf = nullptr;

    // Brings the items' availability up to date with the active window and focused field.
    void updateEnabling();

private:
    void followFocus(QWidget* now);

    QPointer<QWidget> m_console;
    QPointer<QWidget> m_field; // the focused text field or text area, if any
};
