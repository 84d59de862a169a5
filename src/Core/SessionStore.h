#pragma once

#include "Core/AlertSignal.h"
#include "Core/Scheduler.h"
#include "Core/Session.h"
#include "Core/SessionFile.h"
#include "Core/SilenceRuleStore.h"
#include "Platform/Clock.h"

#include <QObject>
#include <array>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

class QThreadPool;

namespace velquist {

// What one change of the store touched: the sessions added, changed or removed, by id, or every
// session at once when what is shown changed as a whole (a silence rule, the reveal switch, the
// introduction).
struct SessionChange
{
    std::vector<std::string> ids;
    bool all = false;
};

// What the collapsed bar and the character need of the displayed sessions, kept as counts so that
// reading it never walks the sessions.
struct DisplaySummary
{
    int displayed = 0;
    int asking = 0;
    int working = 0;
    // Per agent kind, in kind order: displayed sessions, and those waiting for the user (asking,
    // or finished and unseen).
    std::array<int, kAllAgentKinds.size()> perKind{};
    std::array<int, kAllAgentKinds.size()> waitingPerKind{};

    bool operator==(const DisplaySummary&) const = default;
};

// The one owner of every live session (main thread). Every change goes through update, upsert,
// remove and markDoneRead, which stamp the dates, raise alert signals and save "sessions.json"
// one second after the last change.
class SessionStore final : public QObject
{
    Q_OBJECT
  public:
    // `file` is "sessions.json" in the support folder; without `silence` the store makes its own
    // rule store on the rules file beside it. Saves run on `saves` (the application's worker
    // pool), or without one on a pool of the store's own.
    SessionStore(Clock& clock, Scheduler& scheduler, std::filesystem::path file,
                 SilenceRuleStore* silence = nullptr, QThreadPool* saves = nullptr,
                 QObject* parent = nullptr);
    ~SessionStore() override;

    // Loads the saved sessions whose agent process still runs. Raises no alert and saves nothing.
    void restoreSessions();

    const std::map<std::string, Session>& sessions() const { return m_sessions; }
    const Session* session(const std::string& id) const;

    // The sessions the panel shows, asking ones first, newest first within a rank. The order is
    // kept as sessions change, so this only walks it.
    std::vector<const Session*> displayOrder() const;
    // The same as copies.
    std::vector<Session> displaySessions() const;
    // Counts over the displayed sessions, kept as they change.
    const DisplaySummary& displaySummary() const { return m_summary; }
    // The first displayed session that asks for the user.
    std::optional<Session> attentionSession() const;
    // Whether a displayed session asks for the user (attentionSession() has one), from the counts.
    bool hasAttention() const { return m_summary.asking > 0; }
    // How many live sessions the silence rules hide.
    int hiddenCount() const;
    // How many live sessions one rule matches.
    int matchCount(const SilenceRule& rule) const;
    // Whether a real (non-demonstration) session has asked for the user at least this long.
    bool realSessionHasBeenWaiting(double seconds) const;

    // Changes a session in place; unknown ids are ignored. `change` must not change the id.
    void update(const std::string& id, const std::function<void(Session&)>& change);
    // Inserts a session or replaces the one with the same id, as given.
    void upsert(Session session);
    void remove(const std::string& id);
    // Records that the user has seen a finished session.
    void markDoneRead(const std::string& id);

    // Writes the sessions file at once (unless persistence is off), on the calling thread.
    void saveNow();
    // Returns once the saves handed to the pool are written: one still queued there is written
    // on the calling thread, one running is waited for.
    void flushSaves();
    // Drops the pending debounced save.
    void cancelPendingSave();
    // Stops every later write, for good (uninstalling), a save still queued included; returns once
    // a save being written has finished.
    void disablePersistence();

    std::int64_t alertRevision() const { return m_alertRevision; }
    std::optional<AlertSignal> alertSignal() const { return m_alertSignal; }
    bool introIsRunning() const { return m_introIsRunning; }
    void setIntroIsRunning(bool running);
    SilenceRuleStore& silence() { return *m_silence; }
    const std::filesystem::path& persistenceFile() const { return m_file.path(); }

    // The most live sessions kept; past it the oldest that are not busy go.
    static constexpr std::size_t kMaxLiveSessions = 2000;

    // The silence rules' file name in the support folder.
    static constexpr const char* kSilenceRulesFileName = "silence-rules.json";

    // Whether a session id keeps its id on restore and is never saved, and so on.
    static bool isDemonstration(const std::string& id);
    static bool isPersisted(const std::string& id);
    // The id a restored session is stored under: its engine's namespace, ":" and the agent's id,
    // unless the id already carries a known prefix.
    static std::string namespacedID(const Session& session);

  Q_SIGNALS:
    void sessionsChanged();
    // Emitted with every sessionsChanged, saying what changed, for views that redo only that.
    void sessionsTouched(const velquist::SessionChange& change);
    // A session has left the store, by whatever road: whoever keeps something for it lets it go.
    void sessionRemoved(const std::string& id);
    // An alert for the attention coordinator (and any other listener), at the moment it is raised.
    void alertRaised(velquist::AlertSignal signal);
    // A session has just finished and is unread (the glance watcher re-evaluates).
    void doneUnread();
    void introIsRunningChanged();

  private:
    // A session's place in the display order: asking first, then working, done, idle, ended;
    // newer first within a rank; the id breaks ties.
    struct OrderKey
    {
        int rank;
        Clock::WallTime updatedAt;
        std::string id;
        bool operator<(const OrderKey& other) const;
    };

    bool isSilenced(const Session& session) const;
    bool isDisplayed(const Session& session) const;
    // Keeps the order, the silenced ids and the summary in step with one session entering or
    // leaving the table.
    void index(const Session& session);
    void unindex(const Session& session);
    void count(const Session& session, int sign);
    void rebuildSummary();
    void recheckSilence();
    void announce(SessionChange change);
    void signalIfNeeded(const std::string& id, const SessionStatus& oldStatus,
                        const SessionStatus& newStatus);
    void fire(AlertSignal signal);
    void scheduleSave();
    void saveInBackground();
    std::vector<Session> persistedSessions() const;
    void makeRoomForOneMore();

    Clock& m_clock;
    Scheduler& m_scheduler;
    // Declared before the file, which flushes into it as it goes.
    std::unique_ptr<QThreadPool> m_ownPool;
    SessionFile m_file;
    std::unique_ptr<SilenceRuleStore> m_ownSilence;
    SilenceRuleStore* m_silence;
    std::map<std::string, Session> m_sessions;
    std::set<OrderKey> m_order;
    std::unordered_set<std::string> m_silenced;
    DisplaySummary m_summary;
    std::int64_t m_alertRevision = 0;
    std::optional<AlertSignal> m_alertSignal;
    bool m_introIsRunning = false;
    ScheduledTimer m_saveTimer;
    bool m_persistenceDisabled = false;
};

} // namespace velquist
