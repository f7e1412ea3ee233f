#pragma once

// The file dialogs of the program, behind a seam that tests replace to
// answer as the operator would.

#include <QString>

class QWidget;

namespace orx::ui {

struct FileDialogRequest
{
    QString caption;
    QString directory; // starting folder
    QString filter;    // in Qt's form, "Файлы данных (*.db)"
    QString defaultSuffix;
};

class FileDialogs
{
public:
    virtual ~FileDialogs() = default;
    // The chosen path, or an empty text when the dialog was cancelled.
    virtual QString getSaveFileName(QWidget* parent, const FileDialogRequest& request) = 0;
    virtual QString getOpenFileName(QWidget* parent, const FileDialogRequest& request) = 0;
};

FileDialogs& fileDialogs();
// nullptr restores the real dialogs.
void setFileDialogs(FileDialogs* dialogs);

} // namespace orx::ui
