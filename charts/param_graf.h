#pragma once

// TForm4, the chart selection dialog: which blocks to plot.

#include <QDialog>

namespace orx::ui {

class TForm4 : public QDialog
{
    Q_OBJECT
public:
    explicit TForm4(QWidget* parent = nullptr);
};

} // namespace orx::ui
