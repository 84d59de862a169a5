#include "Adapters/OpenCodeEventStream.h"

#include "Shared/Log.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <algorithm>
#include <vector>

namespace velquist {

namespace {

// Aborting a reply that already failed makes Qt report a second error.
bool isOpen(const QNetworkReply* reply)
{
    return !reply->isFinished() && reply->error() == QNetworkReply::NoError;
}

} // namespace

OpenCodeEventStream::OpenCodeEventStream(QNetworkAccessManager& network, Scheduler& scheduler, QUrl eventURL,
                                         EventHandler onEvent, QObject* parent)
    : QObject(parent), m_network(network), m_scheduler(scheduler), m_eventURL(std::move(eventURL)),
      m_onEvent(std::move(onEvent))
{
}

OpenCodeEventStream::~OpenCodeEventStream()
{
    stop();
}

void OpenCodeEventStream::start()
{
    if (m_started || m_stopped)
        return;
    m_started = true;
    connectNow();
}

void OpenCodeEventStream::stop()
{
    if (m_stopped)
        return;
    m_stopped = true;
    m_retryTimer.cancel();
    m_idleTimer.cancel();
    if (QNetworkReply* reply = m_reply.data()) {
        m_reply = nullptr;
        reply->disconnect(this);
        if (isOpen(reply))
            reply->abort();
        reply->deleteLater();
    }
}

void OpenCodeEventStream::connectNow()
{
    if (m_stopped)
        return;
    QNetworkRequest request(m_eventURL);
    request.setRawHeader("Accept", "text/event-stream");
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    // The stream is read from the server that was found, never from where it points.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    m_lines.reset();
    m_answered = false;
    QNetworkReply* reply = m_network.get(request);
    reply->setReadBufferSize(kReadBufferBytes);
    m_reply = reply;
    connect(reply, &QNetworkReply::metaDataChanged, this, [this] {
        if (!m_stopped && m_reply)
            acceptResponse();
    });
    connect(reply, &QNetworkReply::readyRead, this, &OpenCodeEventStream::readAvailable);
    connect(reply, &QNetworkReply::finished, this, &OpenCodeEventStream::finished);
    armIdleTimeout();
}

void OpenCodeEventStream::armIdleTimeout()
{
    QPointer<OpenCodeEventStream> self(this);
    m_idleTimer = ScheduledTimer(m_scheduler, m_scheduler.schedule(kIdleTimeout, [self] {
        if (self && self->m_reply && isOpen(self->m_reply))
            self->m_reply->abort();
    }));
}

// Only a 200 answer is read; the body of any other is let go, and its end counts as a failure.
bool OpenCodeEventStream::acceptResponse()
{
    if (m_answered)
        return true;
    const QVariant statusAttribute = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!statusAttribute.isValid())
        return false;
    if (statusAttribute.toInt() != 200)
        return false;
    m_answered = true;
    m_retryDelay = kFirstRetryDelay;
    m_failedBefore = false;
    return true;
}

std::size_t OpenCodeEventStream::bufferedBytes() const
{
    const qint64 network = m_reply ? m_reply->bytesAvailable() : 0;
    return static_cast<std::size_t>(std::max<qint64>(network, 0)) + m_lines.pendingBytes();
}

// The rest of what waits is read on a later turn, after whatever else the event loop has to do.
void OpenCodeEventStream::scheduleRead()
{
    if (m_readScheduled)
        return;
    m_readScheduled = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_readScheduled = false;
            readAvailable();
        },
        Qt::QueuedConnection);
}

void OpenCodeEventStream::readAvailable()
{
    if (m_stopped || !m_reply)
        return;
    if (!acceptResponse()) {
        m_reply->readAll();
        return;
    }
    armIdleTimeout();
    const QByteArray bytes = m_reply->read(kBytesPerTurn);
    // Payloads are gathered first: a callback may stop this stream, and the line buffer must not
    // be in the middle of a chunk then.
    std::vector<std::string> payloads;
    const std::size_t droppedBefore = m_lines.droppedLines();
    m_lines.feed(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                 [&payloads](std::string_view line) {
                     if (const auto payload = EventStreamLines::dataPayload(line))
                         payloads.emplace_back(*payload);
                     return true;
                 });
    if (m_lines.droppedLines() != droppedBefore)
        Log::system("Velquist: an OpenCode event over " + std::to_string(kMaxLineBytes) + " bytes from " +
                    m_eventURL.toString().toStdString() + " was dropped");
    QPointer<OpenCodeEventStream> self(this);
    for (const auto& payload : payloads) {
        if (!self || m_stopped)
            return;
        m_onEvent(payload);
    }
    if (self && !m_stopped && m_reply && m_reply->bytesAvailable() > 0)
        scheduleRead();
}

void OpenCodeEventStream::finished()
{
    // What the server sent before it ended is still read, a turn's worth at a time.
    while (m_reply && !m_stopped && m_reply->bytesAvailable() > 0)
        readAvailable();
    QNetworkReply* reply = m_reply.data();
    if (!reply)
        return;
    m_reply = nullptr;
    m_idleTimer.cancel();
    reply->deleteLater();
    if (m_stopped)
        return;
    if (reply->error() != QNetworkReply::NoError && reply->error() != QNetworkReply::OperationCanceledError)
        Log::debug("opencode", "stream " + m_eventURL.host().toStdString() +
                                   " error: " + reply->errorString().toStdString());
    // The pause doubles while attempts keep failing; a stream that was answered starts over.
    if (m_failedBefore)
        m_retryDelay = std::min(m_retryDelay * 2, kMaxRetryDelay);
    m_failedBefore = true;
    QPointer<OpenCodeEventStream> self(this);
    m_retryTimer = ScheduledTimer(m_scheduler, m_scheduler.schedule(m_retryDelay, [self] {
        if (self)
            self->connectNow();
    }));
}

} // namespace velquist
