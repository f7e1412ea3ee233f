#include "ui/FileDialogs.h"

#include <QFileDialog>

namespace orx::ui {

namespace {

// Neither dialog asks before replacing a file or insists that it exists:
// the commands behind them decide.
QString runDialog(QWidget* parent, const FileDialogRequest& r, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(parent, r.caption, r.directory, r.filter);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setDefaultSuffix(r.defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

class RealFileDialogs : public FileDialogs
{
public:
    QString getSaveFileName(QWidget* parent, const FileDialogRequest& r) override
    {
        return runDialog(parent, r, QFileDialog::AcceptSave);
    }
    QString getOpenFileName(QWidget* parent, const FileDialogRequest& r) override
    {
        return runDialog(parent, r, QFileDialog::AcceptOpen);
    }
};

FileDialogs* g_dialogs = nullptr;

} // namespace

FileDialogs& fileDialogs()
{
    static RealFileDialogs real;
    return g_dialogs ? *g_dialogs : real;
}

void setFileDialogs(FileDialogs* dialogs) { g_dialogs = dialogs; }

} // namespace orx::ui
