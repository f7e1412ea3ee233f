#pragma once

// The program's help: an HTML user guide shown at its contents in a viewer
// window of our own.

#include <QDialog>

class QTextBrowser;

namespace orx::ui {

class HelpViewer : public QDialog
{
    Q_OBJECT
public:
    explicit HelpViewer(QWidget* parent = nullptr);
    // Opens the file at its contents; false when it cannot be read.
    bool showContents(const QString& helpFile);
    QTextBrowser* browser() const { return m_browser; }

private:
    QTextBrowser* m_browser;
};

// Where the help is looked for when none lies beside the executable.
QString defaultHelpPath();
// "orx.html" beside the executable, if it is there.
QString helpBesideExecutable();

} // namespace orx::ui
