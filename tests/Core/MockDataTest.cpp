#include "Core/MockData.h"
#include "Core/SessionStore.h"
#include "Shared/FileUtil.h"
#include "Shared/Json.h"
#include "support/ManualScheduler.h"
#include "support/base/TemporaryHome.h"

#include <gtest/gtest.h>
#include <unistd.h>

using namespace velquist;
using namespace std::chrono_literals;
using S = SessionStatus;

namespace {

class MockDataTest : public ::testing::Test
{
  protected:
    MockDataTest()
        : silence(folder.path() / "silence-rules.json"),
          store(clock, clock, folder.path() / "sessions.json", &silence)
    {
    }

    std::vector<std::string> displayedIds() const
    {
        std::vector<std::string> ids;
        for (const auto& session : store.displaySessions())
            ids.push_back(session.id);
        return ids;
    }

    test::TemporaryFolder folder;
    test::ManualScheduler clock;
    SilenceRuleStore silence;
    SessionStore store;
};

TEST_F(MockDataTest, FillsTheStoreInDisplayOrderWithoutAnyAgentRunning)
{
    MockData::populate(store, clock.now());

    ASSERT_EQ(store.sessions().size(), 7u);
    auto ids = displayedIds();
    // The two working sessions share their date, so their mutual order is not fixed.
    if (ids[3] == "mock-codex-keys")
        std::swap(ids[3], ids[4]);
    EXPECT_EQ(ids, (std::vector<std::string>{"mock-mcp", "mock-resume", "mock-quillmart", "mock-velquist",
                                             "mock-codex-keys", "mock-gemini-site", "mock-mobile"}));
    for (const auto& [id, session] : store.sessions()) {
        EXPECT_TRUE(id.starts_with("mock-")) << id;
        EXPECT_FALSE(session.terminal.ownerPID) << id;
        EXPECT_TRUE(session.terminal.env.empty()) << id;
        EXPECT_FALSE(session.transcriptPath || session.context || session.attentionSince ||
                     session.doneSeenAt)
            << id;
    }
}

TEST_F(MockDataTest, SessionsCarryTheirAgentsTerminalsAndDates)
{
    const auto now = clock.now();
    MockData::populate(store, now);

    struct Case
    {
        const char* id;
        AgentKind agent;
        const char* tty;
        const char* bundleID;
        std::chrono::seconds started;
        std::chrono::seconds updated;
    };
    const Case cases[] = {
        {"mock-velquist", AgentKind::claudeCode, "s003", "com.mitchellh.ghostty", 1620s, 0s},
        {"mock-resume", AgentKind::claudeCode, "s005", "com.apple.Terminal", 3720s, 40s},
        {"mock-mcp", AgentKind::claudeCode, "s009", "com.mitchellh.ghostty", 1080s, 15s},
        {"mock-quillmart", AgentKind::claudeCode, "s007", "com.mitchellh.ghostty", 7200s, 120s},
        {"mock-mobile", AgentKind::claudeCode, "s009", "com.mitchellh.ghostty", 18000s, 900s},
        {"mock-codex-keys", AgentKind::codex, "s011", "com.mitchellh.ghostty", 660s, 0s},
        {"mock-gemini-site", AgentKind::gemini, "s013", "com.apple.Terminal", 2400s, 240s},
    };
    for (const auto& c : cases) {
        const Session* session = store.session(c.id);
        ASSERT_NE(session, nullptr) << c.id;
        EXPECT_EQ(session->agent, c.agent) << c.id;
        EXPECT_EQ(session->terminal.tty, c.tty) << c.id;
        EXPECT_EQ(session->terminal.bundleID, c.bundleID) << c.id;
        EXPECT_EQ(session->startedAt, now - c.started) << c.id;
        EXPECT_EQ(session->updatedAt, now - c.updated) << c.id;
    }
}

TEST_F(MockDataTest, RequestsAndQuestionsHoldTheirDetails)
{
    MockData::populate(store, clock.now());

    const auto* edit = store.session("mock-resume")->status.as<S::NeedsPermission>();
    ASSERT_NE(edit, nullptr);
    EXPECT_FALSE(edit->request.supportsAlwaysAllow);
    const auto* hunks = edit->request.tool->as<ToolDetail::Edit>();
    ASSERT_NE(hunks, nullptr);
    ASSERT_EQ(hunks->hunks.size(), 1u);
    EXPECT_EQ(hunks->hunks[0].newString,
              "if (!token) throw new AuthError('missing');\nreturn jwt.verify(token);");

    const auto* mail = store.session("mock-mcp")->status.as<S::NeedsPermission>();
    ASSERT_NE(mail, nullptr);
    EXPECT_TRUE(mail->request.supportsAlwaysAllow);
    const auto* other = mail->request.tool->as<ToolDetail::Other>();
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(other->parameters,
              (std::vector<ToolParameter>{{"query", "newer_than:2d label:invoices OR label:shipping"},
                                          {"view", "THREAD_VIEW_MINIMAL"}}));

    const auto* question = store.session("mock-quillmart")->status.as<S::WaitingForInput>();
    ASSERT_NE(question, nullptr);
    ASSERT_EQ(question->inquiry.questions.size(), 1u);
    const auto& options = question->inquiry.questions[0].options;
    ASSERT_EQ(options.size(), 3u);
    EXPECT_EQ(options[2].label, "Local only");
    EXPECT_FALSE(options[2].detail);
    EXPECT_TRUE(question->inquiry.isAnswerable());
}

TEST_F(MockDataTest, SavedSessionOfTheSameIdReplacesTheDemonstration)
{
    Session saved;
    saved.id = "mock-mobile";
    saved.cwd = "/home/u/real";
    saved.status = S::Working{"Reading"};
    saved.startedAt = saved.updatedAt = clock.now();
    saved.terminal.ownerPID = ::getpid();
    ASSERT_TRUE(FileUtil::writeAtomically(store.persistenceFile(),
                                          Json::dump(nlohmann::ordered_json::array({saved.toJson()}))));

    MockData::populate(store, clock.now());
    store.restoreSessions();

    EXPECT_EQ(store.sessions().size(), 7u);
    EXPECT_EQ(store.session("mock-mobile")->cwd, "/home/u/real");
}

} // namespace
