#include "ui/MessageBoxes.h"
#include "ui/Seam.h"

namespace orx::ui {

namespace {

class RealMessageBoxes : public MessageBoxes
{
public:
    QMessageBox::StandardButton show(QWidget* parent, const MessageRequest& r) override
    {
        QMessageBox box(r.icon, r.caption, r.text, r.buttons, parent);
        return static_cast<QMessageBox::StandardButton>(box.exec());
    }
};

using BoxesSeam = Seam<MessageBoxes, RealMessageBoxes>;

QString& titleStore()
{
    static QString title = QString::fromUtf8(kApplicationTitle);
    return title;
}

} // namespace

MessageBoxes& messageBoxes() { return BoxesSeam::current(); }

void setMessageBoxes(MessageBoxes* boxes) { BoxesSeam::install(boxes); }

QString applicationTitle() { return titleStore(); }
void setApplicationTitle(const QString& title) { titleStore() = title; }

QMessageBox::StandardButton showMessage(QWidget* parent, const QString& text, const QString& caption,
                                        QMessageBox::Icon icon, QMessageBox::StandardButtons buttons)
{
    return messageBoxes().show(parent, {text, caption, icon, buttons});
}

void showErrorBox(QWidget* parent, const QString& text)
{
    QString shown = text;
    if (!shown.endsWith('.'))
        shown += '.';
    showMessage(parent, shown, applicationTitle(), QMessageBox::Critical);
}

void showErrorBox(QWidget* parent, const std::exception& error)
{
    showErrorBox(parent, QString::fromStdString(error.what()));
}

} // namespace orx::ui
