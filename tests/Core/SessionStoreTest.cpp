#include "Core/SessionStore.h"
#include "support/ManualScheduler.h"
#include "support/base/TemporaryFolder.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace velquist;
using namespace std::chrono_literals;
namespace fs = std::filesystem;
using S = SessionStatus;

namespace {

SessionStatus asking()
{
    return S::NeedsPermission{PermissionRequest{"Bash", "ls", std::nullopt, false}};
}

SessionStatus waiting()
{
    return S::WaitingForInput{AgentInquiry{}};
}

class SessionStoreTest : public ::testing::Test
{
  protected:
    SessionStoreTest()
        : file(folder.path() / "sessions.json"), silence(folder.path() / "silence-rules.json"),
          store(clock, clock, file, &silence)
    {
        QObject::connect(&store, &SessionStore::alertRaised, [this](AlertSignal signal) {
            if (onAlert)
                onAlert(signal);
            else
                alerts.push_back(signal);
        });
        QObject::connect(&store, &SessionStore::doneUnread, [this] { ++doneUnread; });
    }

    Session make(const std::string& id, SessionStatus status, std::string cwd = "/home/u/project")
    {
        Session session;
        session.id = id;
        session.cwd = std::move(cwd);
        session.status = std::move(status);
        session.startedAt = session.updatedAt = clock.now();
        session.terminal.ownerPID = ::getpid();
        return session;
    }

    void put(Session session)
    {
        store.upsert(std::move(session));
        alerts.clear();
    }

    void setStatus(const std::string& id, SessionStatus status)
    {
        store.update(id, [&](Session& s) { s.status = status; });
    }

    std::vector<std::string> displayedIds() const
    {
        std::vector<std::string> ids;
        for (const auto& session : store.displaySessions())
            ids.push_back(session.id);
        return ids;
    }

    test::TemporaryFolder folder;
    fs::path file;
    test::ManualScheduler clock;
    SilenceRuleStore silence;
    SessionStore store;
    std::vector<AlertSignal> alerts;
    // Replaces the recording of alerts when a test needs to act inside the alert.
    std::function<void(AlertSignal)> onAlert;
    int doneUnread = 0;
};

std::string slurp(const fs::path& path)
{
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
}

pid_t deadPid()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

} // namespace

TEST_F(SessionStoreTest, ABurstOfChangesIsWrittenOnceASecondAfterTheLast)
{
    put(make("claude:a", S::Idle{}));
    for (int i = 0; i < 1000; ++i) {
        store.update("claude:a", [&](Session& s) { s.lastActivity = std::to_string(i); });
        clock.advance(1ms);
    }
    EXPECT_FALSE(fs::exists(file));
    clock.advance(998ms);
    store.flushSaves();
    EXPECT_FALSE(fs::exists(file));
    clock.advance(2ms);
    store.flushSaves();
    ASSERT_TRUE(fs::exists(file));
    EXPECT_EQ(clock.pendingCount(), 0u) << "exactly one pending save, now done";
    struct stat info
    {
    };
    ::stat(file.c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    const auto saved = nlohmann::json::parse(slurp(file));
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0]["lastActivity"], "999");
}

TEST_F(SessionStoreTest, SavingLeavesOutLiveOnlySessionsAndRespectsDisabledPersistence)
{
    for (const char* id : {"debug-1", "detected:pts/3", "opencode:x", "intro-demo", "codex:keep"})
        put(make(id, S::Idle{}));
    store.saveNow();
    const auto saved = nlohmann::json::parse(slurp(file));
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0]["id"], "codex:keep");

    fs::remove(file);
    store.disablePersistence();
    store.update("codex:keep", [](Session& s) { s.cwd = "/x"; });
    clock.advance(5s);
    store.saveNow();
    EXPECT_FALSE(fs::exists(file));
}

TEST_F(SessionStoreTest, RestoreKeepsOnlyLiveSessionsAndSkipsBadRecords)
{
    struct Record
    {
        std::string id;
        AgentKind agent;
        SessionStatus status;
        std::optional<std::int64_t> pid;
        std::optional<std::string> restoredAs; // none: dropped
    };
    const std::int64_t self = ::getpid();
    const std::vector<Record> records = {
        {"ended", AgentKind::claudeCode, S::Ended{}, self, std::nullopt},
        {"nopid", AgentKind::claudeCode, S::Idle{}, std::nullopt, std::nullopt},
        {"pid0", AgentKind::claudeCode, S::Idle{}, 0, std::nullopt},
        {"pid1", AgentKind::claudeCode, S::Idle{}, 1, std::nullopt},
        {"dead", AgentKind::claudeCode, S::Idle{}, deadPid(), std::nullopt},
        {"huge", AgentKind::claudeCode, S::Idle{}, std::int64_t(1) << 40, std::nullopt},
        {"alive", AgentKind::claudeCode, asking(), self, "claude:alive"},
        {"codex:kept", AgentKind::codex, S::Idle{}, self, "codex:kept"},
        {"plain", AgentKind::gemini, S::Idle{}, self, "gemini:plain"},
        {"mock-claude", AgentKind::claudeCode, S::Idle{}, self, "mock-claude"},
    };
    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    for (const auto& record : records) {
        Session session = make(record.id, record.status);
        session.agent = record.agent;
        session.terminal.ownerPID = record.pid;
        if (record.status.asksForUser())
            session.attentionSince = clock.now() - 30s;
        array.push_back(session.toJson());
    }
    array.push_back({{"id", "broken"}}); // a record missing its fields costs only itself
    std::ofstream(file) << array.dump();

    store.restoreSessions();
    std::vector<std::string> expected;
    for (const auto& record : records) {
        if (record.restoredAs)
            expected.push_back(*record.restoredAs);
    }
    std::vector<std::string> restored;
    for (const auto& [id, session] : store.sessions())
        restored.push_back(id);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(restored, expected);
    EXPECT_TRUE(alerts.empty());
    EXPECT_EQ(clock.pendingCount(), 0u) << "restoring schedules no save";
    ASSERT_NE(store.session("claude:alive"), nullptr);
    EXPECT_TRUE(store.session("claude:alive")->attentionSince.has_value());
    EXPECT_TRUE(store.realSessionHasBeenWaiting(29));
}

TEST_F(SessionStoreTest, AFileWithWhatCannotBeReadIsMovedAsideBeforeTheNextSave)
{
    struct Case
    {
        std::string name;
        std::string content;
        std::size_t restored;
    };
    Session live = make("claude:live", S::Idle{});
    live.agent = AgentKind::claudeCode;
    const std::string liveRecord = live.toJson().dump();
    const Case cases[] = {
        {"truncated", R"([{"id":"claude:a","agent":"claudeCode")", 0},
        {"one record that cannot be read", "[" + liveRecord + R"(,{"id":"claude:broken"}])", 1},
        {"a record of another type", "[" + liveRecord + ",42]", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(folder.path() / "sessions.json.corrupt");
        std::ofstream(file, std::ios::trunc) << c.content;
        SessionStore fresh(clock, clock, file, &silence);
        fresh.restoreSessions();
        EXPECT_EQ(fresh.sessions().size(), c.restored);
        fresh.upsert(make("claude:b", S::Idle{}));
        clock.advance(1s);
        fresh.flushSaves();
        EXPECT_EQ(slurp(folder.path() / "sessions.json.corrupt"), c.content);
        EXPECT_EQ(nlohmann::json::parse(slurp(file)).size(), c.restored + 1);
    }
}

TEST_F(SessionStoreTest, DisplayOrderPutsAskingSessionsFirstAndNewestFirst)
{
    put(make("claude:idle", S::Idle{}));
    clock.advance(1s);
    put(make("claude:first-ask", S::Working{}));
    setStatus("claude:first-ask", asking());
    clock.advance(1s);
    put(make("claude:second-ask", S::Working{}));
    setStatus("claude:second-ask", waiting());
    clock.advance(1s);
    put(make("claude:work", S::Working{}));
    store.update("claude:work", [](Session&) {});
    put(make("claude:done", S::Done{}));
    put(make("claude:ended", S::Ended{}));

    EXPECT_EQ(displayedIds(), (std::vector<std::string>{"claude:second-ask", "claude:first-ask",
                                                        "claude:work", "claude:done", "claude:idle"}));
    EXPECT_EQ(store.attentionSession()->id, "claude:second-ask");
    EXPECT_EQ(store.hiddenCount(), 0);
}

TEST_F(SessionStoreTest, SilenceRulesHideSessionsAndMuteTheirAlerts)
{
    SilenceRule rule;
    rule.id = QUuid::createUuid();
    rule.field = SilenceRule::Field::directory;
    rule.match = SilenceRule::Match::prefix;
    rule.pattern = "/tmp";
    silence.add(rule);

    store.upsert(make("claude:quiet", S::Working{}, "/tmp/scratch"));
    store.upsert(make("claude:loud", S::Working{}, "/home/u/app"));
    EXPECT_EQ(alerts, std::vector<AlertSignal>{AlertSignal::sessionStarted});
    alerts.clear();
    setStatus("claude:quiet", asking());
    EXPECT_TRUE(alerts.empty());
    EXPECT_EQ(displayedIds(), std::vector<std::string>{"claude:loud"});
    EXPECT_EQ(store.hiddenCount(), 1);
    EXPECT_FALSE(store.attentionSession());
    EXPECT_EQ(store.matchCount(rule), 1);

    silence.setRevealsHidden(true);
    EXPECT_EQ(displayedIds().size(), 2u);
    EXPECT_EQ(store.hiddenCount(), 1);

    store.setIntroIsRunning(true);
    store.upsert(make("intro-demo", S::Working{}));
    EXPECT_EQ(displayedIds(), std::vector<std::string>{"intro-demo"});
    EXPECT_EQ(store.hiddenCount(), 0);
    EXPECT_TRUE(alerts.empty()) << "demonstration sessions never alert";
}

TEST_F(SessionStoreTest, TransitionsRaiseTheirSignals)
{
    struct Case
    {
        const char* name;
        SessionStatus from;
        SessionStatus to;
        std::vector<AlertSignal> signals;
        bool attentionSince;
        int doneUnread;
    };
    const Case cases[] = {
        {"working to permission", S::Working{}, asking(), {AlertSignal::attention}, true, 0},
        {"idle to question", S::Idle{}, waiting(), {AlertSignal::attention}, true, 0},
        {"permission to question", asking(), waiting(), {}, true, 0},
        {"permission to working", asking(), S::Working{}, {AlertSignal::cleared}, false, 0},
        {"question to ended", waiting(), S::Ended{}, {AlertSignal::cleared}, false, 0},
        {"working to done", S::Working{}, S::Done{}, {AlertSignal::doneFlash}, false, 1},
        {"idle to done", S::Idle{}, S::Done{}, {}, false, 1},
        {"done to done", S::Done{}, S::Done{}, {}, false, 0},
        {"working to idle", S::Working{}, S::Idle{}, {}, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        put(make("claude:s", c.from));
        store.update("claude:s", [&](Session& s) { s.attentionSince = std::nullopt; });
        alerts.clear();
        doneUnread = 0;
        setStatus("claude:s", c.to);
        EXPECT_EQ(alerts, c.signals);
        EXPECT_EQ(store.session("claude:s")->attentionSince.has_value(), c.attentionSince);
        EXPECT_EQ(doneUnread, c.doneUnread);
        store.remove("claude:s");
    }
}

TEST_F(SessionStoreTest, AttentionSinceIsKeptBetweenAskingStatesAndClearedStaysQuietWhileAnotherAsks)
{
    put(make("claude:a", S::Working{}));
    put(make("claude:b", S::Working{}));
    setStatus("claude:a", asking());
    const auto since = store.session("claude:a")->attentionSince;
    clock.advance(5s);
    setStatus("claude:a", waiting());
    EXPECT_EQ(store.session("claude:a")->attentionSince, since);

    setStatus("claude:b", asking());
    alerts.clear();
    setStatus("claude:a", S::Working{});
    EXPECT_TRUE(alerts.empty()) << "b still asks";
    store.remove("claude:b");
    EXPECT_EQ(alerts, std::vector<AlertSignal>{AlertSignal::cleared});
}

TEST_F(SessionStoreTest, AnAlertCallbackThatChangesTheStoreDoesNotCorruptIt)
{
    put(make("claude:a", S::Working{}));
    put(make("claude:b", S::Working{}));
    onAlert = [this](AlertSignal signal) {
        alerts.push_back(signal);
        if (signal == AlertSignal::attention) {
            store.remove("claude:b");
            store.update("claude:a", [](Session& s) { s.lastActivity = "touched from the callback"; });
            store.upsert(make("claude:c", S::Idle{}));
        }
    };
    setStatus("claude:a", asking());
    ASSERT_NE(store.session("claude:a"), nullptr);
    EXPECT_TRUE(store.session("claude:a")->status.asksForUser());
    EXPECT_EQ(store.session("claude:a")->lastActivity, "touched from the callback");
    EXPECT_EQ(store.session("claude:b"), nullptr);
    EXPECT_NE(store.session("claude:c"), nullptr);
    EXPECT_EQ(alerts, (std::vector<AlertSignal>{AlertSignal::attention, AlertSignal::sessionStarted}));
}

TEST_F(SessionStoreTest, MarkDoneReadKeepsTheFirstTimeAndUnknownIdsAreIgnored)
{
    put(make("claude:d", S::Working{}));
    setStatus("claude:d", S::Done{});
    const auto updated = store.session("claude:d")->updatedAt;
    clock.advance(2s);
    store.markDoneRead("claude:d");
    const auto seen = store.session("claude:d")->doneSeenAt;
    ASSERT_TRUE(seen);
    clock.advance(2s);
    store.markDoneRead("claude:d");
    EXPECT_EQ(store.session("claude:d")->doneSeenAt, seen);
    EXPECT_EQ(store.session("claude:d")->updatedAt, updated);

    bool ran = false;
    store.update("claude:missing", [&](Session&) { ran = true; });
    EXPECT_FALSE(ran);
    store.markDoneRead("claude:missing");
    EXPECT_EQ(store.sessions().size(), 1u);
}

TEST_F(SessionStoreTest, FreeTextIsBoundedBeforeItIsKeptOrSaved)
{
    const std::string huge(4'000'000, 'p');
    Session session = make("claude:big", S::Working{std::string(100'000, 'a')});
    session.firstPrompt = huge;
    session.aiTitle = std::string(50'000, 't');
    put(session);
    store.update("claude:big", [&](Session& s) {
        s.status = S::Done{huge};
        s.lastActivity = huge;
    });
    const Session* kept = store.session("claude:big");
    ASSERT_NE(kept, nullptr);
    EXPECT_LE(kept->firstPrompt->size(), Session::kLongTextCharacters + 3);
    EXPECT_TRUE(kept->firstPrompt->starts_with("ppp"));
    EXPECT_LE(kept->aiTitle->size(), Session::kShortTextCharacters + 3);
    EXPECT_LE(kept->lastActivity->size(), Session::kShortTextCharacters + 3);
    EXPECT_LE(kept->status.as<S::Done>()->summary->size(), Session::kLongTextCharacters + 3);
    store.saveNow();
    EXPECT_LT(fs::file_size(file), 32'000u);
}

TEST_F(SessionStoreTest, PastTheBoundTheOldestQuietSessionsGo)
{
    put(make("claude:asking", S::Working{}));
    setStatus("claude:asking", asking());
    put(make("claude:oldest-idle", S::Idle{}));
    clock.advance(1s);
    for (std::size_t i = 0; store.sessions().size() < SessionStore::kMaxLiveSessions; ++i) {
        put(make("claude:w" + std::to_string(i), S::Working{}));
        clock.advance(1ms);
    }
    put(make("claude:newest-idle", S::Idle{}));
    put(make("claude:one-more", S::Working{}));
    EXPECT_EQ(store.sessions().size(), SessionStore::kMaxLiveSessions);
    EXPECT_EQ(store.session("claude:oldest-idle"), nullptr);
    EXPECT_EQ(store.session("claude:newest-idle"), nullptr);
    EXPECT_NE(store.session("claude:asking"), nullptr) << "a session waiting for the user stays";
    EXPECT_NE(store.session("claude:one-more"), nullptr);
}

namespace {

// The display order by its definition: every shown session sorted afresh, asking first, then
// working, done, idle; newer first within a rank; ties in id order.
std::vector<std::string> sortedAfresh(const SessionStore& store, SilenceRuleStore& silence)
{
    std::vector<const Session*> shown;
    for (const auto& [id, session] : store.sessions()) {
        if (session.status.is<S::Ended>())
            continue;
        if (store.introIsRunning()) {
            if (SessionStore::isDemonstration(id))
                shown.push_back(&session);
            continue;
        }
        if (!silence.revealsHidden() && silence.isSilenced(session.cwd, session.firstPrompt))
            continue;
        shown.push_back(&session);
    }
    const auto rank = [](const SessionStatus& status) {
        if (status.asksForUser())
            return 0;
        if (status.is<S::Working>())
            return 1;
        return status.is<S::Done>() ? 2 : 3;
    };
    if (!store.introIsRunning())
        std::stable_sort(shown.begin(), shown.end(), [&](const Session* a, const Session* b) {
            if (rank(a->status) != rank(b->status))
                return rank(a->status) < rank(b->status);
            return a->updatedAt > b->updatedAt;
        });
    std::vector<std::string> ids;
    for (const Session* session : shown)
        ids.push_back(session->id);
    return ids;
}

DisplaySummary countedAfresh(const SessionStore& store)
{
    DisplaySummary summary;
    for (const Session& session : store.displaySessions()) {
        const auto kind = static_cast<std::size_t>(
            std::find(kAllAgentKinds.begin(), kAllAgentKinds.end(), session.agent) - kAllAgentKinds.begin());
        ++summary.displayed;
        summary.asking += session.status.asksForUser() ? 1 : 0;
        summary.working += session.status.is<S::Working>() ? 1 : 0;
        ++summary.perKind[kind];
        const bool unseenDone = session.status.is<S::Done>() && !session.doneSeenAt;
        summary.waitingPerKind[kind] += session.status.asksForUser() || unseenDone ? 1 : 0;
    }
    return summary;
}

} // namespace

TEST_F(SessionStoreTest, TheKeptOrderAndCountsEqualASortAfreshAfterEveryKindOfChange)
{
    SilenceRule rule;
    rule.id = QUuid::createUuid();
    rule.field = SilenceRule::Field::directory;
    rule.match = SilenceRule::Match::prefix;
    rule.pattern = "/tmp";

    const auto agent = [this](const std::string& id, AgentKind kind, SessionStatus status, std::string cwd) {
        Session session = make(id, std::move(status), std::move(cwd));
        session.agent = kind;
        return session;
    };
    std::vector<std::string> changedIds;
    int wholeChanges = 0;
    QObject::connect(&store, &SessionStore::sessionsTouched, [&](const SessionChange& change) {
        wholeChanges += change.all ? 1 : 0;
        changedIds.insert(changedIds.end(), change.ids.begin(), change.ids.end());
    });

    const std::vector<std::pair<const char*, std::function<void()>>> steps = {
        {"a working session",
         [&] { store.upsert(agent("claude:a", AgentKind::claudeCode, S::Working{}, "/p")); }},
        {"an idle one at the same moment",
         [&] { store.upsert(agent("codex:b", AgentKind::codex, S::Idle{}, "/p")); }},
        {"a tie broken by id",
         [&] { store.upsert(agent("claude:0", AgentKind::claudeCode, S::Idle{}, "/p")); }},
        {"later, one in /tmp",
         [&] {
             clock.advance(1s);
             store.upsert(agent("gemini:c", AgentKind::gemini, S::Working{}, "/tmp/x"));
         }},
        {"b asks",
         [&] {
             clock.advance(1s);
             setStatus("codex:b", asking());
         }},
        {"a is done", [&] { setStatus("claude:a", S::Done{}); }},
        {"a is read", [&] { store.markDoneRead("claude:a"); }},
        {"c is replaced as done",
         [&] { store.upsert(agent("gemini:c", AgentKind::gemini, S::Done{}, "/tmp/x")); }},
        {"a rule hides /tmp", [&] { silence.add(rule); }},
        {"the hidden ones are revealed", [&] { silence.setRevealsHidden(true); }},
        {"and hidden again", [&] { silence.setRevealsHidden(false); }},
        {"an ended session", [&] { store.upsert(agent("qwen:d", AgentKind::qwen, S::Ended{}, "/p")); }},
        {"the same moment for two",
         [&] {
             clock.advance(1s);
             setStatus("claude:0", S::Working{});
             store.update("claude:a", [](Session& s) { s.status = S::Working{}; });
         }},
        {"b answered", [&] { setStatus("codex:b", S::Working{}); }},
        {"an unknown id changes nothing", [&] { setStatus("claude:nobody", S::Working{}); }},
        {"the rule goes", [&] { silence.remove(rule.id); }},
        {"a is removed", [&] { store.remove("claude:a"); }},
        {"the introduction runs",
         [&] {
             store.upsert(agent("intro-2", AgentKind::codex, S::Working{}, "/p"));
             store.upsert(agent("intro-1", AgentKind::claudeCode, asking(), "/p"));
             store.setIntroIsRunning(true);
         }},
        {"the introduction ends", [&] { store.setIntroIsRunning(false); }},
    };
    for (const auto& [name, step] : steps) {
        step();
        SCOPED_TRACE(name);
        EXPECT_EQ(displayedIds(), sortedAfresh(store, silence));
        EXPECT_EQ(store.displaySummary(), countedAfresh(store));
        const auto expectedAttention = [&]() -> std::optional<std::string> {
            for (const Session& session : store.displaySessions())
                if (session.status.asksForUser())
                    return session.id;
            return std::nullopt;
        }();
        const auto attention = store.attentionSession();
        EXPECT_EQ(attention ? std::optional(attention->id) : std::nullopt, expectedAttention);
        EXPECT_EQ(store.hasAttention(), expectedAttention.has_value());
    }
    EXPECT_EQ(wholeChanges, 6) << "rules, reveals and the introduction touch every session";
    EXPECT_NE(std::find(changedIds.begin(), changedIds.end(), "claude:a"), changedIds.end());
}

TEST_F(SessionStoreTest, PastTheBoundTheVictimIsTheOldestOfTheQuietestRankAndDemonstrationsStay)
{
    put(make("intro-demo", S::Ended{}));
    put(make("claude:b-old", S::Idle{}));
    put(make("claude:a-old", S::Idle{}));
    clock.advance(1s);
    for (std::size_t i = 0; store.sessions().size() < SessionStore::kMaxLiveSessions; ++i)
        put(make("claude:x" + std::to_string(i),
                 i % 2 ? SessionStatus(S::Idle{}) : SessionStatus(S::Done{})));
    // The ended demonstration would go first but stays; then the oldest idle, the lower id first.
    put(make("claude:new", S::Working{}));
    EXPECT_NE(store.session("intro-demo"), nullptr);
    EXPECT_EQ(store.session("claude:a-old"), nullptr);
    EXPECT_NE(store.session("claude:b-old"), nullptr);
    put(make("claude:newer", S::Working{}));
    EXPECT_EQ(store.session("claude:b-old"), nullptr);
    EXPECT_EQ(displayedIds(), sortedAfresh(store, silence));
}
