#pragma once

#include "Adapters/EventStreamLines.h"
#include "Core/Scheduler.h"

#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <chrono>
#include <functional>
#include <string>

class QNetworkAccessManager;

namespace velquist {

// Keeps one GET on a server's event stream open and hands the payload of every "data:" line to a
// callback as it arrives. When the stream ends or fails it connects again after a pause that starts
// at 2 seconds and doubles up to 30 while connections keep failing; a connection that was answered
// with 200 starts the ladder over. Knows nothing of the events' meaning. Main thread.
class OpenCodeEventStream final : public QObject
{
    Q_OBJECT
  public:
    using EventHandler = std::function<void(const std::string& payload)>;

    static constexpr std::chrono::milliseconds kFirstRetryDelay{2000};
    static constexpr std::chrono::milliseconds kMaxRetryDelay{30000};
    // A connection with no bytes for this long is dropped and made again.
    static constexpr std::chrono::milliseconds kIdleTimeout{60000};
    // The longest line kept; a longer one is dropped.
    static constexpr std::size_t kMaxLineBytes = 4 * 1024 * 1024;
    // What the network layer holds for the stream before it stops reading from the server, and
    // what one turn of the event loop takes from it: a server that writes faster than the main
    // thread handles its events waits in its own socket, not in our memory.
    static constexpr qint64 kReadBufferBytes = 256 * 1024;
    static constexpr qint64 kBytesPerTurn = 64 * 1024;

    // `network` and `scheduler` must outlive the stream. Nothing starts yet.
    OpenCodeEventStream(QNetworkAccessManager& network, Scheduler& scheduler, QUrl eventURL,
                        EventHandler onEvent, QObject* parent = nullptr);
    ~OpenCodeEventStream() override;

    void start();
    // For good: the open request is aborted, no further callback is made and nothing reconnects.
    void stop();

    const QUrl& eventURL() const { return m_eventURL; }
    bool isStopped() const { return m_stopped; }
    // Whether a request is open now (answered or still waiting).
    bool isReading() const { return m_reply != nullptr; }
    // The pause before the next connection attempt, or the one after a failure now.
    std::chrono::milliseconds retryDelay() const { return m_retryDelay; }
    std::size_t droppedLines() const { return m_lines.droppedLines(); }
    // Bytes held for the stream: the network layer's and the line not yet ended.
    std::size_t bufferedBytes() const;

  private:
    void connectNow();
    void readAvailable();
    void scheduleRead();
    void finished();
    void armIdleTimeout();
    bool acceptResponse();

    QNetworkAccessManager& m_network;
    Scheduler& m_scheduler;
    const QUrl m_eventURL;
    EventHandler m_onEvent;
    QPointer<QNetworkReply> m_reply;
    EventStreamLines m_lines{kMaxLineBytes};
    ScheduledTimer m_retryTimer;
    ScheduledTimer m_idleTimer;
    std::chrono::milliseconds m_retryDelay = kFirstRetryDelay;
    bool m_answered = false;
    bool m_failedBefore = false;
    bool m_started = false;
    bool m_stopped = false;
    bool m_readScheduled = false;
};

} // namespace velquist
