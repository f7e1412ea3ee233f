#include "device/receive.h"

#include "device/DownloadTexts.h"
#include "ui/MessageBoxes.h"

#include <QGroupBox>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace orx {

namespace {
constexpr int kClientWidth = 490;
constexpr int kClientHeight = 245;
constexpr int kStatusPixelSize = 16;

QLabel* valueLabel(QWidget* parent)
{
    auto* l = new QLabel(parent);
    l->setFrameShape(QFrame::StyledPanel);
    l->setMinimumWidth(160);
    return l;
}
} // namespace

TForm2::TForm2(ArchiveImage& image, QWidget* parent) : QDialog(parent), m_session(image)
{
    setWindowTitle(QString::fromUtf8(kTextDownloadCaption));
    setFixedSize(kClientWidth, kClientHeight);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowTitleHint | Qt::CustomizeWindowHint);
    setModal(true);

    StaticText2 = new QLabel(this);
    QFont bold = StaticText2->font();
    bold.setBold(true);
    bold.setPixelSize(kStatusPixelSize);
    StaticText2->setFont(bold);
    StaticText2->setAlignment(Qt::AlignCenter);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setRange(0, 100);

    auto* group = new QGroupBox(QStringLiteral("Информация"), this);
    auto* grid = new QGridLayout(group);
    StaticText5 = valueLabel(group);
    StaticText1 = valueLabel(group);
    StaticText7 = valueLabel(group);
    grid->addWidget(new QLabel(QStringLiteral("Тип прибора:"), group), 0, 0);
    grid->addWidget(StaticText5, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Версия ПО:"), group), 1, 0);
    grid->addWidget(StaticText1, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Количество записей:"), group), 2, 0);
    grid->addWidget(StaticText7, 2, 1);

    Button1 = new QPushButton(QStringLiteral("Отмена"), this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(StaticText2);
    layout->addWidget(ProgressBar1);
    layout->addWidget(group);
    layout->addWidget(Button1, 0, Qt::AlignHCenter);

    connect(Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
    connect(&m_session, &DownloadSession::statusChanged, this,
            [this](DownloadStatus s) { StaticText2->setText(QString::fromUtf8(downloadStatusText(s))); });
    connect(&m_session, &DownloadSession::deviceTypeChanged, StaticText5, &QLabel::setText);
    connect(&m_session, &DownloadSession::versionChanged, StaticText1, &QLabel::setText);
    connect(&m_session, &DownloadSession::recordCountChanged, StaticText7, &QLabel::setText);
    connect(&m_session, &DownloadSession::progressMaximumChanged, ProgressBar1, &QProgressBar::setMaximum);
    connect(&m_session, &DownloadSession::progressChanged, ProgressBar1, &QProgressBar::setValue);
    connect(&m_session, &DownloadSession::tabVisible, this, [this](int tab) {
        if (m_host) {
            m_host->makeTabVisible(tab);
            m_host->showPageControl();
        }
    });
    connect(&m_session, &DownloadSession::exchangeFinished, this, &TForm2::exchangeFinished);
}

void TForm2::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TForm2::FormShow()
{
    setWindowTitle(QString::fromUtf8(kTextDownloadCaption));
    m_session.start();
}

void TForm2::Button1Click()
{
    if (m_session.active())
        m_session.cancel(); // ends the dialog through exchangeFinished
    else
        done(static_cast<int>(DownloadResult::Cancel));
}

void TForm2::reject() { Button1Click(); }

void TForm2::exchangeFinished(DownloadResult result, DownloadFailure failure)
{
    const QString text = QString::fromUtf8(downloadFailureText(failure));
    switch (failure) {
    case DownloadFailure::None:
    case DownloadFailure::Cancelled:
        break;
    case DownloadFailure::NotFound:
        ui::showMessage(this, text, QString::fromUtf8(kTextErrorCaption), QMessageBox::Critical);
        break;
    case DownloadFailure::WrongDevice:
        ui::showMessage(this, text, QString::fromUtf8(ui::kApplicationTitle), QMessageBox::Critical,
                        QMessageBox::Ok);
        break;
    default:
        // A stream that does not decode: the port is closed; the dialog stays
        // until the operator presses "Отмена".
        ui::showErrorBox(this, text);
        return;
    }
    done(static_cast<int>(result));
}

} // namespace orx
