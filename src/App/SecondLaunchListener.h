#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

namespace velquist {

// Listens on the running instance's name socket (InstanceLock::nameSocket) for later launches of
// the application by the same user, which ask for its settings window: on a desktop without a
// tray host that is the way to reach it. A connection from another user is refused. Main thread.
class SecondLaunchListener final : public QObject
{
    Q_OBJECT
  public:
    // `socket` stays the lock's; -1 listens for nothing.
    explicit SecondLaunchListener(int socket, QObject* parent = nullptr);

    bool isListening() const { return m_notifier != nullptr; }

  Q_SIGNALS:
    // The user started the application again.
    void launched();

  private:
    void acceptAll();

    int m_socket;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace velquist
