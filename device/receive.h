#pragma once

// TForm2, the download dialog: a thin window over the download session.

#include "device/DownloadSession.h"

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace orx {

class ArchiveImage;

// What the dialog asks of the main window at the end of an exchange.
class DownloadHost
{
public:
    virtual ~DownloadHost() = default;
    // Tab index 0 is "Оперативный", k is observation k.
    virtual void makeTabVisible(int tab) = 0;
    virtual void showPageControl() = 0;
};

class TForm2 : public QDialog
{
public:
    TForm2(ArchiveImage& image, QWidget* parent = nullptr);

    void setHost(DownloadHost* host) { m_host = host; }
    DownloadSession& session() { return m_session; }

    QLabel* StaticText2 = nullptr;  // status line
    QProgressBar* ProgressBar1 = nullptr;
    QLabel* StaticText5 = nullptr;  // instrument type
    QLabel* StaticText1 = nullptr;  // software version
    QLabel* StaticText7 = nullptr;  // record count
    QPushButton* Button1 = nullptr; // "Отмена"

    void FormShow();
    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    void exchangeFinished(DownloadResult result, DownloadFailure failure);

    DownloadSession m_session;
    DownloadHost* m_host = nullptr;
};

} // namespace orx
