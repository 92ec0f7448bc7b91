#include "Desktop.h"

#include "Alert.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>
#include <utility>

namespace {

QString dialogChooser(QWidget* parent, const Desktop::FileRequest& request)
{
    return QFileDialog::getOpenFileName(parent, request.title, request.folder, request.filter);
}

bool systemOpener(const QString& path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void messageBox(const QString& text, const QString& detail)
{
    QMessageBox box(QMessageBox::Warning, QApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, QApplication::activeWindow());
    box.setInformativeText(detail);
    box.exec();
}

Desktop::FileChooser& chooser()
{
    static Desktop::FileChooser current = dialogChooser;
    return current;
}

Desktop::DocumentOpener& opener()
{
    static Desktop::DocumentOpener current = systemOpener;
    return current;
}

} // namespace

QString Desktop::chooseFile(QWidget* parent, const FileRequest& request)
{
    return chooser() ? chooser()(parent, request) : QString();
}

bool Desktop::openDocument(const QString& path)
{
    return opener() && opener()(path);
}

Desktop::FileChooser Desktop::installChooser(FileChooser replacement)
{
    return std::exchange(chooser(), std::move(replacement));
}

Desktop::DocumentOpener Desktop::installOpener(DocumentOpener replacement)
{
    return std::exchange(opener(), std::move(replacement));
}

void Desktop::installMessageBox()
{
    Alert::install(messageBox);
}
