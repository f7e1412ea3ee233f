#pragma once

// TForm4, the chart selection dialog: which blocks to plot. The choice stays
// for the run and is offered again the next time.

#include "charts/SeriesEngine.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QGroupBox;
class QPushButton;

namespace orx::ui {

class TForm4 : public QDialog
{
    Q_OBJECT
public:
    explicit TForm4(QWidget* parent = nullptr);

    // CheckBox1 .. CheckBox20 for the observations, CheckBox21 "Оперативный".
    QCheckBox* checkBox(int number) const { return m_boxes[static_cast<std::size_t>(number - 1)]; }
    QGroupBox* GroupBox1 = nullptr;
    QPushButton* Button1 = nullptr; // "Построить"

    // The ticked blocks, by tab index.
    charts::ChartSelection selection() const;

    void Button1Click();
    // The close box ends the dialog with Cancel.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::array<QCheckBox*, kBlockCount> m_boxes{};
};

} // namespace orx::ui
