#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <unordered_map>

class QSocketNotifier;

namespace velquist {

// Notices, on the main thread, when the peer of a held socket goes away. A held hook connection
// is at end of stream from the start (the client half-closed it), so it always reads as ready;
// only a hang-up tells that the client itself is gone. One epoll set watches every held socket
// for hang-up alone, and its own descriptor is what the event loop watches.
class HangupWatcher final : public QObject
{
    Q_OBJECT
  public:
    using Token = std::uint64_t;

    explicit HangupWatcher(QObject* parent = nullptr);
    ~HangupWatcher() override;

    // Calls `onHangUp` once, on this thread, when the peer of `descriptor` has closed; the watch
    // then ends by itself. Returns 0 when the descriptor cannot be watched.
    Token watch(int descriptor, std::function<void()> onHangUp);
    // Ends a watch; must come before its descriptor is closed. Unknown tokens are ignored.
    void unwatch(Token token);

  private:
    struct Watch
    {
        int descriptor;
        std::function<void()> onHangUp;
    };

    void drain();

    int m_epoll = -1;
    QSocketNotifier* m_notifier = nullptr;
    Token m_nextToken = 1;
    std::unordered_map<Token, Watch> m_watches;
};

} // namespace velquist
