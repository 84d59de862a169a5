#pragma once

#include <QObject>
#include <initializer_list>

class QSocketNotifier;

namespace velquist {

// Turns POSIX signals into a Qt signal on the main thread (through a self-pipe), so that a
// termination request runs the normal shutdown instead of ending the process mid-write.
class UnixSignalWatcher final : public QObject
{
    Q_OBJECT
  public:
    explicit UnixSignalWatcher(std::initializer_list<int> signals, QObject* parent = nullptr);
    ~UnixSignalWatcher() override;

  Q_SIGNALS:
    void received(int signal);

  private:
    void drain();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace velquist
