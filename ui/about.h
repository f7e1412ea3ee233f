#pragma once

// Tform6, the about dialog: the program's name, its version read afresh at
// every showing, one line on what it is for, and "Ок".

#include <QDialog>

class QLabel;
class QPushButton;

namespace orx::ui {

class Tform6 : public QDialog
{
    Q_OBJECT
public:
    explicit Tform6(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr; // "ВЕЛАРИ-5"
    QLabel* Label2 = nullptr; // the version line
    QLabel* Label3 = nullptr; // what the program is for
    QPushButton* Button1 = nullptr; // "Ок"

    void FormShow();

protected:
    void showEvent(QShowEvent* event) override;
};

} // namespace orx::ui
