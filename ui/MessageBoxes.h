#pragma once

// Every message box of the program goes through this seam, so tests can put
// a recorder in its place and read what would have been shown.

#include <QMessageBox>
#include <QString>

#include <exception>

class QWidget;

namespace orx::ui {

inline constexpr const char* kApplicationTitle = "ВЕЛАРИ-5";

// The application title: "ВЕЛАРИ-5", or "name - ВЕЛАРИ-5" while an opened
// table is shown. The general error box takes it as its caption.
QString applicationTitle();
void setApplicationTitle(const QString& title);

struct MessageRequest
{
    QString text;
    QString caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
};

class MessageBoxes
{
public:
    virtual ~MessageBoxes() = default;
    // Shows the box modally and returns the button pressed.
    virtual QMessageBox::StandardButton show(QWidget* parent, const MessageRequest& request) = 0;
};

// The boxes in use; a test may install its own (nullptr restores the real ones).
MessageBoxes& messageBoxes();
void setMessageBoxes(MessageBoxes* boxes);

QMessageBox::StandardButton showMessage(QWidget* parent, const QString& text, const QString& caption,
                                        QMessageBox::Icon icon,
                                        QMessageBox::StandardButtons buttons = QMessageBox::Ok);

// The general error box: the application title as caption, the error icon,
// and the text with a full stop added when it does not end in one.
void showErrorBox(QWidget* parent, const QString& text);
// The same for an error that ended a command: its own text.
void showErrorBox(QWidget* parent, const std::exception& error);

} // namespace orx::ui
