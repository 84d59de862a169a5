#pragma once

// The real `velquist` started for a measurement: a temporary HOME with saved sessions that it
// restores, the application process itself, and its CPU use over a window of time.

#include "Core/QtScheduler.h"
#include "Core/SessionStore.h"
#include "Core/SystemClock.h"
#include "ProcessFigures.h"
#include "Shared/AppPaths.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace velquist::bench {

// A temporary HOME, set for this process too, with a private runtime folder; removed at the end.
class BenchHome
{
  public:
    BenchHome()
    {
        char pattern[] = "/tmp/velquist-bench-XXXXXX";
        if (!::mkdtemp(pattern))
            return;
        m_path = pattern;
        ::setenv("HOME", pattern, 1);
        std::filesystem::create_directories(runtime());
        ::chmod(runtime().c_str(), 0700);
        std::filesystem::create_directories(AppPaths::appSupport());
        ::chmod(AppPaths::appSupport().c_str(), 0700);
        markIntroductionPlayed();
    }
    ~BenchHome()
    {
        std::error_code error;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, error);
    }
    BenchHome(const BenchHome&) = delete;
    BenchHome& operator=(const BenchHome&) = delete;

    bool isReady() const { return !m_path.empty(); }
    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path runtime() const { return m_path / "runtime"; }

    // `count` Claude Code sessions owned by this process, so the application restores them.
    void saveSessions(int count, const std::string& idPrefix, std::optional<SessionStatus> status) const
    {
        SystemClock clock;
        QtScheduler scheduler;
        SessionStore store(clock, scheduler, AppPaths::sessionsFile());
        for (int i = 0; i < count; ++i) {
            Session session;
            session.id = "claude:" + idPrefix + "-" + std::to_string(i);
            session.agent = AgentKind::claudeCode;
            session.cwd = "/home/dev/project-" + std::to_string(i);
            if (status)
                session.status = *status;
            session.startedAt = clock.now();
            session.updatedAt = clock.now();
            session.terminal.ownerPID = ::getpid();
            session.lastActivity = "Read src/file" + std::to_string(i) + ".cpp";
            store.upsert(std::move(session));
        }
        store.saveNow();
    }

    // The environment of the application: this HOME and runtime folder, on the given Qt platform.
    QProcessEnvironment environment(const QString& platform) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", QString::fromStdString(m_path.string()));
        environment.insert("QT_QPA_PLATFORM", platform);
        environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime().string()));
        return environment;
    }

  private:
    // Without this the first-run introduction starts and holds the panel open, and every figure
    // would measure the introduction instead of the state it names.
    void markIntroductionPlayed() const
    {
        const std::filesystem::path folder = m_path / ".config/Velquist";
        std::filesystem::create_directories(folder);
        std::ofstream(folder / "defaults.json") << "{\"IntroMoviePlayed\": true}\n";
    }

    std::filesystem::path m_path;
};

// Starts the application in `environment`; says so and returns false when it does not start.
inline bool startApp(QProcess& velquist, const QProcessEnvironment& environment)
{
    velquist.setProcessEnvironment(environment);
    velquist.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    velquist.setStandardOutputFile(QProcess::nullDevice());
    velquist.start(VELQUIST_APP_PATH, {});
    if (velquist.waitForStarted(10000))
        return true;
    std::fprintf(stderr, "velquist did not start\n");
    return false;
}

// Asks the application to quit, and kills it when it does not.
inline void stopApp(QProcess& velquist)
{
    velquist.terminate();
    if (!velquist.waitForFinished(10000)) {
        velquist.kill();
        velquist.waitForFinished(5000);
    }
}

// CPU use of `pid` in percent of one core over `seconds`, sampling its resident memory into
// `peakMiB` each second; negative when it stopped.
inline double cpuPercent(qint64 pid, int seconds, double& peakMiB)
{
    using namespace std::chrono_literals;
    const double before = cpuSeconds(pid);
    const auto start = std::chrono::steady_clock::now();
    for (int second = 0; second < seconds; ++second) {
        std::this_thread::sleep_for(1s);
        peakMiB = std::max(peakMiB, residentMiB(pid));
    }
    const double after = cpuSeconds(pid);
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (before < 0 || after < 0)
        return -1;
    return 100.0 * (after - before) / elapsed;
}

// The measurement's length: VELQUIST_IDLE_SECONDS, else `fallback`.
inline int idleSeconds(int fallback)
{
    const char* configured = std::getenv("VELQUIST_IDLE_SECONDS");
    return std::max(1, configured ? std::atoi(configured) : fallback);
}

} // namespace velquist::bench
