#pragma once

// TForm5, the splash window: a 400 × 78 banner without frame, shown
// modally at start for three seconds.

#include <QDialog>
#include <QTimer>

class QLabel;

namespace orx::ui {

inline constexpr int kSplashMilliseconds = 3000;

class TForm5 : public QDialog
{
    Q_OBJECT
public:
    explicit TForm5(QWidget* parent = nullptr);

    QLabel* Image1 = nullptr;
    QTimer Timer1;

    void FormShow();
    void Timer1Timer();

    // Our banner, drawn once.
    static QPixmap banner();

protected:
    void showEvent(QShowEvent* event) override;
};

} // namespace orx::ui
