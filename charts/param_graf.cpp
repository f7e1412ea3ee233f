#include "charts/param_graf.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QScreen>

namespace orx::ui {

namespace {

constexpr int kDialogOk = 1;
constexpr int kDialogCancel = 2;
constexpr int kClientWidth = 189;
constexpr int kClientHeight = 244;
// The group box and the two columns of boxes inside it.
constexpr int kGroupX = 8, kGroupY = 4, kGroupWidth = 173, kGroupHeight = 200;
constexpr int kLeftColumn = 10, kRightColumn = 92, kFirstRow = 18, kRowStep = 16;
constexpr int kBoxWidth = 76, kBoxHeight = 16;
constexpr int kOperationalWidth = 90;
constexpr int kButtonWidth = 75, kButtonHeight = 25, kButtonY = 211;
constexpr int kColumnRows = 10;
constexpr int kOperationalNumber = 21;

} // namespace

TForm4::TForm4(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Построение графиков"));
    setAccessibleName(windowTitle());
    setModal(true);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);

    GroupBox1 = new QGroupBox(QStringLiteral("Выберете графики"), this);
    GroupBox1->setGeometry(kGroupX, kGroupY, kGroupWidth, kGroupHeight);
    for (int k = 1; k <= kObservationCount; ++k) {
        auto* box = new QCheckBox(QStringLiteral("Наб. №%1").arg(k), GroupBox1);
        const int column = (k - 1) / kColumnRows;
        const int row = (k - 1) % kColumnRows;
        box->setGeometry(column == 0 ? kLeftColumn : kRightColumn, kFirstRow + row * kRowStep,
                         kBoxWidth, kBoxHeight);
        m_boxes[static_cast<std::size_t>(k - 1)] = box;
    }
    auto* operational = new QCheckBox(QStringLiteral("Оперативный"), GroupBox1);
    operational->setGeometry((kGroupWidth - kOperationalWidth) / 2,
                             kFirstRow + kColumnRows * kRowStep + 4, kOperationalWidth, kBoxHeight);
    m_boxes[kOperationalNumber - 1] = operational;

    Button1 = new QPushButton(QStringLiteral("Построить"), this);
    Button1->setGeometry((kClientWidth - kButtonWidth) / 2, kButtonY, kButtonWidth, kButtonHeight);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &TForm4::Button1Click);
}

charts::ChartSelection TForm4::selection() const
{
    charts::ChartSelection s{};
    for (int block = 0; block < kBlockCount; ++block)
        s[static_cast<std::size_t>(block)] = checkBox(charts::seriesNumber(block))->isChecked();
    return s;
}

void TForm4::Button1Click()
{
    done(kDialogOk);
}

void TForm4::reject()
{
    done(kDialogCancel);
}

void TForm4::showEvent(QShowEvent* event)
{
    // Centred on the desktop, not over the main window.
    if (QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
}

} // namespace orx::ui
