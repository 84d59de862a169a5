#pragma once

#include <QObject>
#include <set>
#include <string>

class QThreadPool;

namespace velquist {

class SessionStore;
class TerminalBinder;

// Finds the terminal of a session that had none when its events came: a tmux session whose client
// attached after the agent's last event is bound only once someone looks. The lookup runs tmux and
// walks /proc, so it goes to a worker; one at a time per session. Main thread.
class TerminalRebinder final : public QObject
{
    Q_OBJECT

  public:
    TerminalRebinder(SessionStore& store, const TerminalBinder& binder, QThreadPool* workers = nullptr,
                     QObject* parent = nullptr);

    // The session is shown or jumped to: looks its terminal up again when it has none.
    void lookUp(const std::string& id);
    // Every session without a terminal (the panel opened).
    void lookUpAll();

  private:
    SessionStore& m_store;
    const TerminalBinder& m_binder;
    QThreadPool* m_workers;
    std::set<std::string> m_looking;
};

} // namespace velquist
