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
#include <type_traits>

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

EditState stateOf(const QLineEdit* line)
{
    const bool selected = line->hasSelectedText();
    const bool writable = !line->isReadOnly();
    const bool visible = line->echoMode() == QLineEdit::Normal;
    return {line->isUndoAvailable() && writable,
            selected && writable && visible,
            selected && visible,
            writable && clipboardHasText(),
            selected && writable,
            !line->text().isEmpty()};
}

template <typename Area> EditState stateOf(const Area* area)
{
    const bool selected = area->textCursor().hasSelection();
    const bool writable = !area->isReadOnly();
    return {area->document()->isUndoAvailable() && writable,
            selected && writable,
            selected,
            writable && clipboardHasText(),
            selected && writable,
            !area->document()->isEmpty()};
}

void deleteSelection(QLineEdit* line)
{
    line->del();
}

template <typename Area> void deleteSelection(Area* area)
{
    area->textCursor().removeSelectedText();
}

// Calls visit with the focused control as the text control it is, if it is one.
template <typename Visit> void visitField(QWidget* field, Visit visit)
{
    if (auto* line = qobject_cast<QLineEdit*>(field))
        visit(line);
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(field))
        visit(plain);
    else if (auto* rich = qobject_cast<QTextEdit*>(field))
        visit(rich);
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
    else if (which == menus.EditClear)
        deleteSelection(field);
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
            visitField(m_field, [this, action](auto* field) { edit(field, action, *this); });
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
    visitField(now, [this](auto* field) {
        using Field = std::remove_pointer_t<decltype(field)>;
        m_field = field;
        connect(field, &Field::textChanged, this, &MenuBar1::updateEnabling);
        connect(field, &Field::selectionChanged, this, &MenuBar1::updateEnabling);
    });
    updateEnabling();
}

void MenuBar1::updateEnabling()
{
    const bool consoleInFront = m_console && QApplication::activeWindow() == m_console;
    FileAbort->setEnabled(consoleInFront);
    ViewTestFunctions->setEnabled(consoleInFront);

    EditState state;
    visitField(m_field, [&state](const auto* field) { state = stateOf(field); });
    EditUndo->setEnabled(state.undo);
    EditCut->setEnabled(state.cut);
    EditCopy->setEnabled(state.copy);
    EditPaste->setEnabled(state.paste);
    EditClear->setEnabled(state.clear);
    EditSelectAll->setEnabled(state.selectAll);
}
