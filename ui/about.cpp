#include "ui/about.h"

#include "ui/VersionInfo.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

namespace orx::ui {

namespace {
constexpr int kClientWidth = 515;
constexpr int kClientHeight = 151;
constexpr int kTitlePixels = 16;
constexpr int kTextPixels = 13;
constexpr int kDialogOk = 1;
} // namespace

Tform6::Tform6(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("О программе"));
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::CustomizeWindowHint);
    setFixedSize(kClientWidth, kClientHeight);
    setModal(true);

    Label1 = new QLabel(QStringLiteral("ВЕЛАРИ-5"), this);
    QFont title = Label1->font();
    title.setBold(true);
    title.setPixelSize(kTitlePixels);
    Label1->setFont(title);

    Label2 = new QLabel(this);
    Label3 = new QLabel(QStringLiteral("Программа для передачи данных с прибора ВЕЛАРИ-5."), this);
    QFont text = Label3->font();
    text.setPixelSize(kTextPixels);
    Label3->setFont(text);

    Button1 = new QPushButton(QStringLiteral("Ок"), this);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, [this] { done(kDialogOk); });

    auto* grid = new QGridLayout(this);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(Label2, 1, 0);
    grid->addWidget(Label3, 2, 0);
    grid->setRowStretch(3, 1);
    grid->addWidget(Button1, 4, 0, Qt::AlignRight | Qt::AlignBottom);
}

void Tform6::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void Tform6::FormShow()
{
    Label2->setText(QStringLiteral("Версия ") +
                    QString::fromStdString(GetFileVersionText(
                        QCoreApplication::applicationFilePath().toStdString())));
}

} // namespace orx::ui
