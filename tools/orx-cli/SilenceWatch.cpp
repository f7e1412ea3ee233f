#include "tools/orx-cli/SilenceWatch.h"

#include "device/DownloadSession.h"

#include <algorithm>

namespace orx::cli {

SilenceWatch::SilenceWatch(DownloadSession& session, int silenceMs, QObject* parent)
    : QObject(parent), m_session(session), m_silenceMs(silenceMs)
{
    if (silenceMs <= 0)
        return;
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] { onSilence(); });
    connect(&session, &DownloadSession::batchReceived, this,
            [this](const QByteArray& batch) { onBatch(batch); });
    // Characters the exchange took in: identification, noise, 'S', the archive.
    connect(&session, &DownloadSession::receivedCountChanged, this, [this](qulonglong n) {
        m_received = n;
        restart();
    });
    connect(&session, &DownloadSession::statusChanged, this, [this](DownloadStatus s) {
        if (s == DownloadStatus::Receiving)
            onIdentified();
    });
    connect(&session, &DownloadSession::exchangeFinished, this, [this] { m_timer.stop(); });
}

// Any answer at all arms the watch; a 'Z' (busy) is an answer but no
// progress, and the exchange then asks for the identification again.
void SilenceWatch::onBatch(const QByteArray& batch)
{
    if (batch.contains(wire::kNotReady)) {
        m_stage = Stage::Identification;
        m_busy = true;
    } else {
        m_busy = false;
        if (m_stage == Stage::Identified && batch.contains(wire::kStart))
            m_stage = Stage::Archive;
    }
    if (!m_timer.isActive())
        restart();
}

void SilenceWatch::onIdentified()
{
    m_stage = Stage::Identified;
    m_busy = false;
    m_received = 0;
    restart();
}

void SilenceWatch::restart()
{
    int ms = m_silenceMs;
    switch (m_stage) {
    case Stage::Identification:
        // The exchange gives a port this long to identify itself before it
        // tries the other one; the watch never cuts that short.
        ms = std::max(ms, wire::kIdentificationTimeoutMs);
        break;
    case Stage::Identified:
        // The archive is asked for only a second after the identification.
        ms += wire::kRequestDelayMs;
        break;
    case Stage::Archive:
        break;
    }
    m_timer.start(ms);
}

void SilenceWatch::onSilence()
{
    if (!m_session.active())
        return;
    m_expired = true;
    m_session.cancel(); // port closed, timers stopped, the archive image untouched
}

std::string SilenceWatch::waitingFor() const
{
    switch (m_stage) {
    case Stage::Identification:
        return m_busy ? "ожидалась готовность прибора (он отвечает 'Z' - занят)"
                      : "ожидалась идентификация прибора";
    case Stage::Identified:
        return "ожидалось начало архива ('S')";
    case Stage::Archive:
        break;
    }
    return "ожидалось продолжение архива (принято символов: " + std::to_string(m_received) + ")";
}

} // namespace orx::cli
