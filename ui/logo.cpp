#include "ui/logo.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QShowEvent>

namespace orx::ui {

namespace {
constexpr int kClientWidth = 400;
constexpr int kClientHeight = 77;
constexpr int kBannerWidth = 400;
constexpr int kBannerHeight = 78;
constexpr int kDialogOk = 1;
} // namespace

QPixmap TForm5::banner()
{
    QPixmap pm(kBannerWidth, kBannerHeight);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, kBannerWidth, kBannerHeight);
    sky.setColorAt(0, QColor(0x0B, 0x3D, 0x91));
    sky.setColorAt(1, QColor(0x1E, 0x88, 0xE5));
    p.fillRect(pm.rect(), sky);

    // A thermometer on the left.
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(22, 10, 12, 44), 6, 6);
    p.setBrush(QColor(0xE5, 0x39, 0x35));
    p.drawEllipse(QPointF(28, 60), 9, 9);
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(25, 28, 6, 30));

    // A rising trace across the banner.
    QPainterPath trace;
    trace.moveTo(50, 64);
    const double ys[] = {60, 62, 55, 57, 50, 52, 46, 49, 42};
    for (int i = 0; i < 9; ++i)
        trace.lineTo(50 + (i + 1) * 38, ys[i]);
    p.setPen(QPen(QColor(255, 255, 255, 90), 2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(trace);

    QFont title(QStringLiteral("Liberation Sans"));
    title.setPixelSize(30);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRect(52, 6, 340, 38), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("ВЕЛАРИ-5"));
    QFont sub(QStringLiteral("Liberation Sans"));
    sub.setPixelSize(12);
    p.setFont(sub);
    p.drawText(QRect(54, 42, 340, 18), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Передача данных с регистратора температуры"));
    return pm;
}

TForm5::TForm5(QWidget* parent) : QDialog(parent)
{
    setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint);
    setFixedSize(kClientWidth, kClientHeight);
    setModal(true);
    setAccessibleName(QStringLiteral("ВЕЛАРИ-5"));
    Image1 = new QLabel(this);
    Image1->setPixmap(banner());
    Image1->setGeometry(0, 0, kBannerWidth, kBannerHeight);
    Timer1.setSingleShot(true);
    Timer1.setInterval(kSplashMilliseconds);
    connect(&Timer1, &QTimer::timeout, this, &TForm5::Timer1Timer);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

void TForm5::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TForm5::FormShow() { Timer1.start(); }

void TForm5::Timer1Timer() { done(kDialogOk); }

} // namespace orx::ui
