#include "Core/Session.h"
#include "Shared/FileUtil.h"
#include "Shared/HomePaths.h"
#include "Shared/Json.h"
#include "support/AppEnvironment.h"
#include "support/InstalledHook.h"
#include "support/WaitUntil.h"
#include "support/base/TemporaryFolder.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

using namespace velquist;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// Whether the process has a handler of its own for SIGTERM (so a SIGTERM from now on runs the
// shutdown instead of ending it on the spot).
bool catchesSigterm(qint64 pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with("SigCgt:")) {
            const auto mask = std::stoull(line.substr(7), nullptr, 16);
            return mask & (1ull << (SIGTERM - 1));
        }
    }
    return false;
}

// Whether the process holds an flock (the single-instance lock).
bool holdsFlock(qint64 pid)
{
    std::ifstream locks("/proc/locks");
    std::string line;
    while (std::getline(locks, line)) {
        std::istringstream fields(line);
        std::string number, kind, mode, access, owner;
        fields >> number >> kind >> mode >> access >> owner;
        if (kind == "FLOCK" && access == "WRITE" && owner == std::to_string(pid))
            return true;
    }
    return false;
}

// The application run as its own process in the temporary home, on the offscreen platform.
class AppProcess
{
  public:
    explicit AppProcess(const test::TemporaryFolder& home, QStringList arguments = {}) : m_paths(home.path())
    {
        m_process.setProcessEnvironment(test::appEnvironment(home.path()));
        m_process.start(QStringLiteral(VELQUIST_APP_PATH), arguments);
    }
    ~AppProcess()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    qint64 pid() const { return m_process.processId(); }
    bool started() { return m_process.waitForStarted(10'000); }
    // Up and holding its lock: from here on it is the one instance and a SIGTERM runs its shutdown.
    bool ready()
    {
        return started() && test::waitUntil([&] { return catchesSigterm(pid()) && holdsFlock(pid()); });
    }
    // Sends SIGTERM and waits for the exit; true when it exited normally with status 0.
    bool terminate()
    {
        ::kill(static_cast<pid_t>(pid()), SIGTERM);
        return finished();
    }
    bool finished()
    {
        return m_process.waitForFinished(10'000) && m_process.exitStatus() == QProcess::NormalExit &&
               m_process.exitCode() == 0;
    }
    std::string standardError() { return m_process.readAllStandardError().toStdString(); }
    // Listening on its socket: the whole start-up has run.
    bool listening()
    {
        return ready() && test::waitUntil([&] { return fs::exists(m_paths.socketPath()); });
    }

  private:
    HomePaths m_paths;
    QProcess m_process;
};

std::vector<std::string> savedIds(const HomePaths& paths)
{
    std::vector<std::string> ids;
    const auto parsed = Json::parse(FileUtil::read(paths.sessionsFile()).bytes);
    if (parsed && parsed->is_array()) {
        for (const auto& record : *parsed)
            ids.push_back(record.value("id", ""));
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

Session liveSession(const std::string& id)
{
    Session session;
    session.id = id;
    session.cwd = "/home/u/project";
    session.status = SessionStatus::Working{"Reading"};
    session.startedAt = session.updatedAt = std::chrono::system_clock::now();
    session.terminal.ownerPID = ::getpid();
    return session;
}

// Runs an agent's hook command as the agent does: through the shell, the hook JSON on its input.
bool runHook(const test::TemporaryFolder& home, const std::string& command, const nlohmann::json& payload)
{
    QProcess hook;
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", QString::fromStdString(home.path().string()));
    hook.setProcessEnvironment(environment);
    hook.start("/bin/sh", {"-c", QString::fromStdString(command)});
    if (!hook.waitForStarted(10'000))
        return false;
    hook.write(QByteArray::fromStdString(payload.dump()));
    hook.closeWriteChannel();
    return hook.waitForFinished(10'000) && hook.exitCode() == 0;
}

class AppProcessTest : public ::testing::Test
{
  protected:
    test::TemporaryFolder home;
    const HomePaths paths{home.path()};
};

TEST_F(AppProcessTest, RestoresItsSessionsAndSavesThemOnSigterm)
{
    ASSERT_TRUE(FileUtil::ensurePrivateDirectory(paths.support()));
    ASSERT_TRUE(FileUtil::writeAtomically(
        paths.sessionsFile(),
        Json::dump(nlohmann::ordered_json::array({liveSession("claude:alive").toJson()}))));
    home.write(".local/share/Tarrowin/silence-rules.json", "[]");

    AppProcess app(home);
    ASSERT_TRUE(app.listening()) << app.standardError();
    ASSERT_TRUE(app.terminate()) << app.standardError();

    EXPECT_EQ(savedIds(paths), (std::vector<std::string>{"claude:alive"}));
    EXPECT_FALSE(fs::exists(paths.socketPath()));
    EXPECT_EQ(FileUtil::read(paths.appPathFile()).bytes, fs::canonical(VELQUIST_APP_PATH).string());
    EXPECT_TRUE(fs::exists(paths.silenceRulesFile())) << "the legacy folder moves in at start-up";
    EXPECT_FALSE(fs::exists(home.path() / ".local/share/Tarrowin"));
}

TEST_F(AppProcessTest, InstallsItsHooksAndTracksTheSessionsTheyReport)
{
    fs::create_directories(home.path() / ".codex");

    AppProcess app(home);
    ASSERT_TRUE(app.listening()) << app.standardError();

    EXPECT_EQ(FileUtil::read(paths.appPathFile()).bytes, fs::canonical(VELQUIST_APP_PATH).string());
    EXPECT_EQ(fs::status(paths.support()).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_TRUE(fs::exists(paths.installedHelper()));
    EXPECT_NE(home.read(".codex/hooks.json").find(paths.installedHelper().string()), std::string::npos);
    EXPECT_FALSE(fs::exists(home.path() / ".gemini")) << "no hooks for an agent that is not there";

    const std::string command = test::installedClaudeHook(home.path(), "SessionStart");
    ASSERT_FALSE(command.empty()) << home.read(".claude/settings.json");
    ASSERT_TRUE(
        runHook(home, command,
                {{"session_id", "f00d"}, {"hook_event_name", "SessionStart"}, {"cwd", "/home/u/project"}}));
    // The store saves a moment after the change.
    EXPECT_TRUE(test::waitUntil([&] {
        const auto ids = savedIds(paths);
        return std::find(ids.begin(), ids.end(), "claude:f00d") != ids.end();
    })) << app.standardError();

    ASSERT_TRUE(app.terminate()) << app.standardError();
    EXPECT_FALSE(fs::exists(paths.socketPath()));
}

TEST_F(AppProcessTest, MockDataFillsTheStoreAndIsSavedAtShutdown)
{
    AppProcess app(home, {"--mock-data"});
    ASSERT_TRUE(app.ready()) << app.standardError();
    ASSERT_TRUE(app.terminate()) << app.standardError();

    EXPECT_EQ(savedIds(paths),
              (std::vector<std::string>{"mock-codex-keys", "mock-gemini-site", "mock-mcp", "mock-mobile",
                                        "mock-quillmart", "mock-resume", "mock-velquist"}));
}

TEST_F(AppProcessTest, ASecondInstanceLeavesAndTouchesNothing)
{
    // Without the tour, whose demonstration would make the first copy save its own sessions a
    // moment after it starts.
    home.write(".config/Velquist/defaults.json", R"({"IntroMoviePlayed": true})");
    AppProcess first(home);
    ASSERT_TRUE(first.listening()) << first.standardError();
    // What a second copy must leave alone: a legacy folder it would otherwise move in, and the
    // first copy's sessions file.
    home.write(".local/share/Tarrowin/silence-rules.json", "[]");
    const std::string sessions =
        Json::dump(nlohmann::ordered_json::array({liveSession("claude:first").toJson()}));
    ASSERT_TRUE(FileUtil::writeAtomically(paths.sessionsFile(), sessions));
    ASSERT_TRUE(FileUtil::writeAtomically(paths.appPathFile(), "/where/the/first/copy/runs"));

    AppProcess second(home, {"--mock-data"});
    ASSERT_TRUE(second.finished()) << second.standardError();
#ifndef NDEBUG
    EXPECT_NE(second.standardError().find("Velquist: another instance is already running; exiting."),
              std::string::npos);
#endif
    EXPECT_TRUE(fs::exists(home.path() / ".local/share/Tarrowin/silence-rules.json"));
    EXPECT_EQ(FileUtil::read(paths.sessionsFile()).bytes, sessions);
    EXPECT_EQ(FileUtil::read(paths.appPathFile()).bytes, "/where/the/first/copy/runs");
    EXPECT_TRUE(holdsFlock(first.pid()));
}

TEST_F(AppProcessTest, EachTerminationSignalRunsTheShutdown)
{
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        std::error_code ec;
        fs::remove(paths.sessionsFile(), ec);
        AppProcess app(home, {"--mock-data"});
        ASSERT_TRUE(app.ready()) << app.standardError();
        ::kill(static_cast<pid_t>(app.pid()), signal);
        ASSERT_TRUE(app.finished()) << signal << app.standardError();
        EXPECT_EQ(savedIds(paths).size(), 7u) << signal;
    }
}

} // namespace
