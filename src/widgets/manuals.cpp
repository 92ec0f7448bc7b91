#include "manuals.h"

#include "Desktop.h"

#include <QApplication>
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

} // namespace uisr
