#include "ui/FileDialogs.h"
#include "ui/Seam.h"

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

using DialogsSeam = Seam<FileDialogs, RealFileDialogs>;

} // namespace

FileDialogs& fileDialogs() { return DialogsSeam::current(); }

void setFileDialogs(FileDialogs* dialogs) { DialogsSeam::install(dialogs); }

} // namespace orx::ui
