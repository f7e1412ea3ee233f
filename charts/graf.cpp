#include "charts/graf.h"

namespace orx::ui {

namespace {
constexpr int kClientWidth = 1078;
constexpr int kClientHeight = 682;
} // namespace

TForm3::TForm3(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("График"));
    resize(kClientWidth, kClientHeight);
    setModal(true);
}

} // namespace orx::ui
