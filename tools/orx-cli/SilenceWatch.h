#pragma once

// orx-cli's silence rule: an exchange whose instrument has answered but then
// makes no progress for the silence time is cancelled, so that an unattended
// readout never holds the port and the table for ever. The dialog has the
// operator's "Отмена" instead and no such rule.

#include <QObject>
#include <QTimer>

#include <string>

namespace orx {
class DownloadSession;
} // namespace orx

namespace orx::cli {

class SilenceWatch : public QObject
{
public:
    // silenceMs 0: no rule, the exchange waits as long as the instrument does.
    SilenceWatch(DownloadSession& session, int silenceMs, QObject* parent = nullptr);

    // Whether the watch cancelled the exchange.
    bool expired() const { return m_expired; }
    // What the exchange was waiting for when the watch cancelled it.
    std::string waitingFor() const;

private:
    enum class Stage
    {
        Identification, // asked for the identification; 'Z' sends it back here
        Identified,     // the archive is asked for a second after the identification
        Archive,        // 'S' has come
    };

    void onBatch(const QByteArray& batch);
    void onProgress();
    void onIdentified();
    void onFinished();
    void onSilence();
    void restart();

    DownloadSession& m_session;
    const int m_silenceMs;
    QTimer m_timer;
    Stage m_stage = Stage::Identification;
    bool m_busy = false; // the last answer was 'Z'
    bool m_expired = false;
    unsigned long long m_received = 0;
};

} // namespace orx::cli
