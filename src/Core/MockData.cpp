#include "Core/MockData.h"

#include "Core/SessionStore.h"

namespace velquist::MockData {

namespace {

struct Row
{
    const char* id;
    AgentKind agent;
    const char* cwd;
    SessionStatus status;
    const char* lastActivity;
    int startedAgo; // seconds before now
    int updatedAgo;
    const char* tty;
    const char* appName;
    const char* bundleID;
};

constexpr const char* kGhostty = "Ghostty";
constexpr const char* kGhosttyID = "com.mitchellh.ghostty";
constexpr const char* kTerminal = "Terminal";
constexpr const char* kTerminalID = "com.apple.Terminal";

PermissionRequest middlewareEdit()
{
    return PermissionRequest{
        .toolName = "Edit",
        .summary = "Edit src/auth/middleware.ts",
        .tool =
            ToolDetail::Edit{.path = "src/auth/middleware.ts",
                             .hunks = {EditHunk{.oldString = "jwt.verify(token);",
                                                .newString = "if (!token) throw new AuthError('missing');\n"
                                                             "return jwt.verify(token);"}}},
        .supportsAlwaysAllow = false,
    };
}

PermissionRequest mailSearch()
{
    const std::string tool = "mcp__claude_ai_Gmail__search_threads";
    const std::string display = "Gmail \u00b7 search threads";
    return PermissionRequest{
        .toolName = tool,
        .summary = display,
        .tool = ToolDetail::Other{.toolName = tool,
                                  .display = display,
                                  .parameters = {{"query", "newer_than:2d label:invoices OR label:shipping"},
                                                 {"view", "THREAD_VIEW_MINIMAL"}}},
        .supportsAlwaysAllow = true,
    };
}

AgentInquiry deployTarget()
{
    return AgentInquiry{.questions = {AgentQuestion{
                            .question = "Which deployment target?",
                            .options = {{"Production", "Live traffic, requires approval"},
                                        {"Staging", "Mirrors production"},
                                        {"Local only", std::nullopt}},
                            .header = "Deploy target",
                            .multiSelect = false,
                        }}};
}

std::vector<Row> rows()
{
    using S = SessionStatus;
    return {
        {"mock-velquist", AgentKind::claudeCode, "/Users/demo/tarrowin",
         S::Working{"Writing NotchWindowManager"}, "Writing NotchWindowManager", 1620, 0, "s003", kGhostty,
         kGhosttyID},
        {"mock-resume", AgentKind::claudeCode, "/Users/demo/resume-builder-test/resume-builder-saas",
         S::NeedsPermission{middlewareEdit()}, "Requesting permission", 3720, 40, "s005", kTerminal,
         kTerminalID},
        {"mock-mcp", AgentKind::claudeCode, "/Users/demo/resume-adapter", S::NeedsPermission{mailSearch()},
         "Requesting permission", 1080, 15, "s009", kGhostty, kGhosttyID},
        {"mock-quillmart", AgentKind::claudeCode, "/Users/demo/quillmart", S::WaitingForInput{deployTarget()},
         "Waiting for your answer", 7200, 120, "s007", kGhostty, kGhosttyID},
        {"mock-mobile", AgentKind::claudeCode, "/Users/demo/mobile-app",
         S::Done{"Fixed the auth bug. 3 files changed."}, "All done", 18000, 900, "s009", kGhostty,
         kGhosttyID},
        {"mock-codex-keys", AgentKind::codex, "/Users/demo/gearlist",
         S::Working{"Scraping fitment qualifiers"}, "Scraping fitment qualifiers", 660, 0, "s011", kGhostty,
         kGhosttyID},
        {"mock-gemini-site", AgentKind::gemini, "/Users/demo/tarrowin/site",
         S::Done{"Rewrote the landing copy."}, "All done", 2400, 240, "s013", kTerminal, kTerminalID},
    };
}

} // namespace

void populate(SessionStore& store, Clock::WallTime now)
{
    for (const Row& row : rows()) {
        Session session;
        session.id = row.id;
        session.agent = row.agent;
        session.cwd = row.cwd;
        session.status = row.status;
        session.lastActivity = row.lastActivity;
        session.startedAt = now - std::chrono::seconds(row.startedAgo);
        session.updatedAt = now - std::chrono::seconds(row.updatedAgo);
        session.terminal.tty = row.tty;
        session.terminal.appName = row.appName;
        session.terminal.bundleID = row.bundleID;
        store.upsert(std::move(session));
    }
}

} // namespace velquist::MockData
