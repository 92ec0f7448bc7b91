#include "dialogs.h"

#include "Desktop.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

namespace uisr {

void openpdffile()
{
    // Every time from the application's folder, where the manuals are installed;
    // nothing is remembered between calls.
    const Desktop::FileRequest request{QStringLiteral("Select a pdf file"),
                                       QApplication::applicationDirPath(),
                                       QStringLiteral("PDFfile (*.pdf *.PDF)")};
    const QString chosen = Desktop::chooseFile(QApplication::activeWindow(), request);
    if (chosen.isEmpty() || !QFileInfo::exists(chosen))
        return;
    Desktop::openDocument(chosen);
}

QString openbinfile()
{
    // Images are kept in the Documents folder at the top of the start-up volume where
    // there is one; elsewhere the dialog opens where the platform chooses.
    const QString documents = QDir::rootPath() + QStringLiteral("Documents");
    const Desktop::FileRequest request{QStringLiteral("Select a Bin file"),
                                       QFileInfo(documents).isDir() ? documents : QString(),
                                       QStringLiteral("binary (*.bin *.BIN)")};
    return Desktop::chooseFile(QApplication::activeWindow(), request);
}

} // namespace uisr
