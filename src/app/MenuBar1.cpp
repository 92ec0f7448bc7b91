#include "MenuBar1.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWindow>

namespace {

QAction* item(QObject* owner, const QString& text, const QKeySequence& shortcut = {})
{
    auto* action = new QAction(text, owner);
    action->setShortcut(shortcut);
    return action;
}

QAction* separator(QObject* owner)
{
    auto* action = new QAction(owner);
    action->setSeparator(true);
    return action;
}

bool clipboardHasText()
{
    const QMimeData* data = QApplication::clipboard()->mimeData();
    return data && data->hasText();
}

// What the Edit menu can do with the focused text control.
struct EditState
{
    bool undo = false;
    bool cut = false;
    bool copy = false;
    bool paste = false;
    bool clear = false;
    bool selectAll = false;
};

EditState editState(QWidget* field)
{
    EditState state;
    if (auto* line = qobject_cast<QLineEdit*>(field)) {
        const bool selected = line->hasSelectedText();
        const bool writable = !line->isReadOnly();
        const bool visible = line->echoMode() == QLineEdit::Normal;
        state = {line->isUndoAvailable() && writable,
                 selected && writable && visible,
                 selected && visible,
                 writable && clipboardHasText(),
                 selected && writable,
                 !line->text().isEmpty()};
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(field)) {
        const bool selected = plain->textCursor().hasSelection();
        const bool writable = !plain->isReadOnly();
        state = {plain->document()->isUndoAvailable() && writable,
                 selected && writable,
                 selected,
                 writable && clipboardHasText(),
                 selected && writable,
                 !plain->document()->isEmpty()};
    } else if (auto* rich = qobject_cast<QTextEdit*>(field)) {
        const bool selected = rich->textCursor().hasSelection();
        const bool writable = !rich->isReadOnly();
        state = {rich->document()->isUndoAvailable() && writable,
                 selected && writable,
                 selected,
                 writable && clipboardHasText(),
                 selected && writable,
                 !rich->document()->isEmpty()};
    }
    return state;
}

// Runs one Edit command on the focused text control.
template <typename Field> void edit(Field* field, QAction* which, const MenuBar1& menus)
{
    if (which == menus.EditUndo)
        field->undo();
    else if (which == menus.EditCut)
        field->cut();
    else if (which == menus.EditCopy)
        field->copy();
    else if (which == menus.EditPaste)
        field->paste();
    else if (which == menus.EditSelectAll)
        field->selectAll();
}

} // namespace

MenuBar1::MenuBar1(QObject* parent) : QObject(parent)
{
    FileQuit = item(this, tr("&Quit"), QKeySequence(Qt::CTRL | Qt::Key_Q));
    FileQuit->setMenuRole(QAction::QuitRole);
    FileAbort = item(this, tr("Abort"));
    ViewTestFunctions = item(this, tr("Test Functions"));
    ViewTestFunctions->setCheckable(true);
    EditUndo = item(this, tr("&Undo"), QKeySequence(Qt::CTRL | Qt::Key_Z));
    EditCut = item(this, tr("Cu&t"), QKeySequence(Qt::CTRL | Qt::Key_X));
    EditCopy = item(this, tr("&Copy"), QKeySequence(Qt::CTRL | Qt::Key_C));
    EditPaste = item(this, tr("&Paste"), QKeySequence(Qt::CTRL | Qt::Key_V));
    EditClear = item(this, tr("&Delete"));
    EditSelectAll = item(this, tr("Select &All"), QKeySequence(Qt::CTRL | Qt::Key_A));
    Helppdf = item(this, tr("Product PDF Manuals"));

    connect(FileQuit, &QAction::triggered, qApp, &QCoreApplication::quit);

    for (QAction* action : {EditUndo, EditCut, EditCopy, EditPaste, EditClear, EditSelectAll}) {
        connect(action, &QAction::triggered, this, [this, action] {
            QWidget* field = m_field;
            if (auto* line = qobject_cast<QLineEdit*>(field)) {
                if (action == EditClear)
                    line->del();
                else
                    edit(line, action, *this);
            } else if (auto* plain = qobject_cast<QPlainTextEdit*>(field)) {
                if (action == EditClear)
                    plain->textCursor().removeSelectedText();
                else
                    edit(plain, action, *this);
            } else if (auto* rich = qobject_cast<QTextEdit*>(field)) {
                if (action == EditClear)
                    rich->textCursor().removeSelectedText();
                else
                    edit(rich, action, *this);
            }
            updateEnabling();
        });
    }

    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { followFocus(now); });
    connect(qApp, &QGuiApplication::focusWindowChanged, this, &MenuBar1::updateEnabling);
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &MenuBar1::updateEnabling);
    updateEnabling();
}

void MenuBar1::install(QMainWindow* window)
{
    auto* bar = new QMenuBar(window);
    QMenu* file = bar->addMenu(tr("&File"));
    file->addActions({FileQuit, FileAbort});
    QMenu* view = bar->addMenu(tr("View"));
    view->addAction(ViewTestFunctions);
    QMenu* editMenu = bar->addMenu(tr("&Edit"));
    editMenu->addActions({EditUndo, separator(bar), EditCut, EditCopy, EditPaste, EditClear,
                          separator(bar), EditSelectAll});
    QMenu* help = bar->addMenu(tr("Help"));
    help->addAction(Helppdf);
    window->setMenuBar(bar);
}

void MenuBar1::setConsole(QWidget* console)
{
    m_console = console;
    updateEnabling();
}

void MenuBar1::followFocus(QWidget* now)
{
    if (m_field)
        disconnect(m_field, nullptr, this, nullptr);
    m_field = nullptr;
    if (qobject_cast<QLineEdit*>(now)) {
        m_field = now;
        auto* line = static_cast<QLineEdit*>(now);
        connect(line, &QLineEdit::textChanged, this, &MenuBar1::updateEnabling);
        connect(line, &QLineEdit::selectionChanged, this, &MenuBar1::updateEnabling);
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(now)) {
        m_field = now;
        connect(plain, &QPlainTextEdit::textChanged, this, &MenuBar1::updateEnabling);
        connect(plain, &QPlainTextEdit::selectionChanged, this, &MenuBar1::updateEnabling);
    } else if (auto* rich = qobject_cast<QTextEdit*>(now)) {
        m_field = now;
        connect(rich, &QTextEdit::textChanged, this, &MenuBar1::updateEnabling);
        connect(rich, &QTextEdit::selectionChanged, this, &MenuBar1::updateEnabling);
    }
    updateEnabling();
}

void MenuBar1::updateEnabling()
{
    const bool consoleInFront = m_console && QApplication::activeWindow() == m_console;
    FileAbort->setEnabled(consoleInFront);
    ViewTestFunctions->setEnabled(consoleInFront);

    const EditState state = editState(m_field);
    EditUndo->setEnabled(state.undo);
    EditCut->setEnabled(state.cut);
    EditCopy->setEnabled(state.copy);
    EditPaste->setEnabled(state.paste);
    EditClear->setEnabled(state.clear);
    EditSelectAll->setEnabled(state.selectAll);
}
