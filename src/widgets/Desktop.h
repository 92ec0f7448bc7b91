#pragma once

#include <QString>
#include <functional>

class QWidget;

// What the program asks of the desktop and a test cannot click: the file-open dialogs,
// the modal message box and opening a document in the system's viewer. The real Qt
// implementations are the defaults; tests install answers that record what was asked.
class Desktop
{
public:
    struct FileRequest
    {
        QString title;
        QString folder;
        QString filter; // a Qt name filter, such as "binary (*.bin)"
    };

    using FileChooser = std::function<QString(QWidget* parent, const FileRequest& request)>;
    using DocumentOpener = std::function<bool(const QString& path)>;

    // The chosen file's path, or an empty string when the operator cancelled.
    static QString chooseFile(QWidget* parent, const FileRequest& request);
    static bool openDocument(const QString& path);

    static FileChooser installChooser(FileChooser chooser);
    static DocumentOpener installOpener(DocumentOpener opener);
    // Routes the link's alerts to a modal message box.
    static void installMessageBox();
};
