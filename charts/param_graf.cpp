#include "charts/param_graf.h"

namespace orx::ui {

TForm4::TForm4(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Построение графиков"));
    setModal(true);
}

} // namespace orx::ui
