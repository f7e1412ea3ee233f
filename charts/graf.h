#pragma once

// TForm3, the chart window: the temperature charts of the chosen blocks.

#include <QDialog>

namespace orx::ui {

class TForm3 : public QDialog
{
    Q_OBJECT
public:
    explicit TForm3(QWidget* parent = nullptr);
};

} // namespace orx::ui
