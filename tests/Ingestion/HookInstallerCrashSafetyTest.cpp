// The installer's rewrite of a large agent configuration, killed with SIGKILL at random moments
// many times over: the file must always be the whole old or the whole new configuration, never a
// mix, a cut or an empty file, and the user's own settings must survive every kill.

#include "Ingestion/HookInstaller.h"
#include "Shared/Json.h"
#include "support/base/TemporaryHome.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <new>
#include <random>
#include <set>
#include <sys/mman.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace velquist;
using namespace std::chrono_literals;
using nlohmann::ordered_json;
namespace fs = std::filesystem;

namespace {

constexpr int kRounds = 60;

// A configuration the user built up over time: a few hundred KiB of permissions, environment and
// hooks of their own, so that writing it takes long enough to be interrupted.
ordered_json userConfiguration()
{
    ordered_json settings;
    settings["model"] = "opus";
    for (int i = 0; i < 4000; ++i)
        settings["permissions"]["allow"].push_back("Bash(npm run script-" + std::to_string(i) + ":*)");
    for (int i = 0; i < 500; ++i)
        settings["env"]["VARIABLE_" + std::to_string(i)] = std::string(40, static_cast<char>('a' + i % 26));
    settings["hooks"]["PreToolUse"] =
        ordered_json::array({{{"matcher", "Bash"},
                              {"hooks", {{{"type", "command"}, {"command", "/usr/local/bin/audit-bash"}}}}}});
    settings["statusLine"] = {{"type", "command"}, {"command", "~/.claude/status.sh"}};
    return settings;
}

HookInstallTarget target(const fs::path& config, int timeoutScale)
{
    HookInstallTarget target;
    target.configURL = config;
    target.backupURL = fs::path(config.string() + ".velquist.bak");
    target.events = {"SessionStart", "PreToolUse", "PermissionRequest", "Stop"};
    target.engineNamespace = "claude";
    target.decideEvents = {"PermissionRequest"};
    target.decideOn = "PermissionRequest";
    target.timeoutScale = timeoutScale;
    return target;
}

// Which of the two installations a configuration holds: 1 or 1000 by its time-outs, -1 for the
// user's own before any installation, 0 when it is none of them whole (unparsable, cut, mixed, or
// the user's settings touched).
int installedScale(const std::string& bytes, const ordered_json& user)
{
    const auto settings = Json::parseOrdered(bytes);
    if (!settings || !settings->is_object())
        return 0;
    try {
        for (const auto& [key, value] : user.items()) {
            if (key != "hooks" && settings->at(key) != value)
                return 0;
        }
        const ordered_json& hooks = settings->at("hooks");
        if (hooks.at("PreToolUse").at(0) != user.at("hooks").at("PreToolUse").at(0))
            return 0;
        std::set<int> scales;
        for (const auto& event : {"SessionStart", "PreToolUse", "PermissionRequest", "Stop"}) {
            if (!hooks.contains(event))
                continue;
            for (const auto& group : hooks.at(event)) {
                for (const auto& entry : group.at("hooks")) {
                    if (entry.at("command") == "/usr/local/bin/audit-bash")
                        continue;
                    const int timeout = entry.at("timeout").get<int>();
                    scales.insert(timeout == 14400 || timeout == 10         ? 1
                                  : timeout == 14400000 || timeout == 10000 ? 1000
                                                                            : 0);
                }
            }
        }
        if (scales.empty())
            return -1;
        return scales.size() == 1 ? *scales.begin() : 0;
    } catch (const nlohmann::json::exception&) {
        return 0;
    }
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace

TEST(HookInstallerCrashSafetyTest, KilledMidRewriteLeavesTheOldOrTheNewConfiguration)
{
    test::TemporaryHome home;
    const fs::path config = home.path() / ".claude" / "settings.json";
    fs::create_directories(config.parent_path());
    const ordered_json user = userConfiguration();
    std::ofstream(config, std::ios::binary) << user.dump(2);
    ASSERT_TRUE(HookInstaller::installHooks(target(config, 1)).ok());
    ASSERT_EQ(installedScale(readFile(config), user), 1);

    // Kills fall anywhere within about three rewrites, however fast this build rewrites.
    const auto started = std::chrono::steady_clock::now();
    for (const int scale : {1000, 1})
        ASSERT_TRUE(HookInstaller::installHooks(target(config, scale)).ok());
    const auto rewrite =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started) / 2;
    const auto window = static_cast<unsigned>(std::max<long long>(3 * rewrite.count(), 1000));
    std::mt19937 random(20261210);
    std::set<int> seen;
    // The child counts its finished rewrites here, so each kill comes after a chosen number of them
    // however slowly the child gets going on a loaded machine.
    void* const shared =
        ::mmap(nullptr, sizeof(std::atomic<int>), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(shared, MAP_FAILED);
    auto* const rewrites = new (shared) std::atomic<int>(0);
    for (int round = 0; round < kRounds; ++round) {
        rewrites->store(0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Rewrites the file back and forth between the two installations until killed.
            for (int i = 0;; ++i) {
                HookInstaller::installHooks(target(config, i % 2 ? 1 : 1000));
                rewrites->fetch_add(1);
            }
        }
        const int before = static_cast<int>(random() % 3);
        while (rewrites->load() < before)
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        std::this_thread::sleep_for(std::chrono::microseconds(random() % window));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the rewriting process ended on its own in round " << round;

        const int scale = installedScale(readFile(config), user);
        ASSERT_TRUE(scale == 1 || scale == 1000) << "round " << round << ": not one whole installation";
        seen.insert(scale);
        const fs::path backup(config.string() + ".velquist.bak");
        if (fs::exists(backup)) {
            ASSERT_NE(installedScale(readFile(backup), user), 0)
                << "round " << round << ": the backup is broken";
        }
    }
    // The kills did land while the file went back and forth.
    EXPECT_EQ(seen, (std::set<int>{1, 1000}));
    ::munmap(shared, sizeof(std::atomic<int>));
}
