#pragma once

// The download exchange on the event loop: the engine fed by the serial port
// driver and two timers. The dialog and orx-cli both drive one.

#include "device/CPDrv.h"
#include "device/DownloadEngine.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

namespace orx {

class ArchiveImage;

class DownloadSession : public QObject, private DownloadIo
{
    Q_OBJECT
public:
    DownloadSession(ArchiveImage& image, QObject* parent = nullptr);
    ~DownloadSession() override;

    void start() { m_engine.start(); }
    void cancel() { m_engine.cancel(); }
    bool active() const { return m_engine.active(); }
    TCommPortDriver& driver() { return m_driver; }

Q_SIGNALS:
    void statusChanged(orx::DownloadStatus status);
    void deviceTypeChanged(const QString& text);
    void versionChanged(const QString& text);
    void recordCountChanged(const QString& text);
    void progressMaximumChanged(int maximum);
    void progressChanged(int position);
    void receivedCountChanged(qulonglong count);
    // Every batch the port delivers, before the exchange reads it: for a
    // watcher of the line, such as orx-cli's silence rule.
    void batchReceived(const QByteArray& batch);
    void tabVisible(int tab);
    void exchangeFinished(orx::DownloadResult result, orx::DownloadFailure failure);

private:
    void connectPort(const std::string& portName) override;
    void disconnectPort() override;
    bool sendByte(std::uint8_t byte) override;
    void startTimer(DownloadTimer timer, int milliseconds) override;
    void stopTimer(DownloadTimer timer) override;
    void showStatus(DownloadStatus status) override { Q_EMIT statusChanged(status); }
    void showDeviceType(const std::string& t) override { Q_EMIT deviceTypeChanged(QString::fromStdString(t)); }
    void showVersion(const std::string& t) override { Q_EMIT versionChanged(QString::fromStdString(t)); }
    void showRecordCount(const std::string& t) override { Q_EMIT recordCountChanged(QString::fromStdString(t)); }
    void setProgressMaximum(int m) override { Q_EMIT progressMaximumChanged(m); }
    void setProgress(int p) override { Q_EMIT progressChanged(p); }
    void charactersReceived(std::size_t n) override { Q_EMIT receivedCountChanged(static_cast<qulonglong>(n)); }
    void makeTabVisible(int tab) override { Q_EMIT tabVisible(tab); }
    void finished(DownloadResult result, DownloadFailure failure) override { Q_EMIT exchangeFinished(result, failure); }
    QTimer& timer(DownloadTimer t) { return t == DownloadTimer::Identification ? m_timer1 : m_timer2; }

    TCommPortDriver m_driver;
    QTimer m_timer1;
    QTimer m_timer2;
    DownloadEngine m_engine;
};

} // namespace orx
