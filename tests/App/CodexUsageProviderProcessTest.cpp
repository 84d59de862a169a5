#include "Core/CommandLookup.h"
#include "Platform/Linux/LinuxProcessRunner.h"
#include "Shared/FileUtil.h"
#include "Shared/Json.h"
#include "Usage/CodexUsageProvider.h"
#include "support/ManualScheduler.h"
#include "support/WaitUntil.h"
#include "support/base/TemporaryFolder.h"

#include <QThreadPool>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>

namespace velquist::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// The provider with the real process runner, as the application builds it, against a stand-in
// `codex` of the test.

// A stand-in for `codex app-server`: it logs what it reads and answers as CODEX_SCENARIO says.
constexpr const char* kStandIn = R"SH(#!/bin/sh
log="$CODEX_LOG"
echo "env TERM=$TERM PATH=$PATH args=$*" >> "$log"
reply2='{"jsonrpc":"2.0","id":2,"result":{"rateLimitsByLimitId":{"other":{"primary":{"usedPercent":99}},"codex":{"primary":{"usedPercent":12.5,"resetsAt":1767225600},"planType":"pro"}}}}'
read -r line; echo "$line" >> "$log"
case "$CODEX_SCENARIO" in
early-exit) exit 0 ;;
stubborn)
  trap '' TERM
  sh -c 'trap "" TERM; while :; do sleep 1; done' "$0-grandchild" &
  while :; do sleep 1; done ;;
no-reply) while :; do sleep 1; done ;;
error-init) echo '{"jsonrpc":"2.0","id":1,"error":{"code":-1,"message":"no"}}' ;;
*)
  echo '{"jsonrpc":"2.0","method":"progress","params":{}}'
  echo 'starting server...'
  echo '{"jsonrpc":"2.0","id":7,"result":{}}'
  echo '{"jsonrpc":"2.0","id":1,"result":{"userAgent":"x"}}' ;;
esac
read -r line; echo "$line" >> "$log"
case "$CODEX_SCENARIO" in
error-read) echo '{"jsonrpc":"2.0","id":2,"error":{"code":-32600,"message":"no"}}' ;;
wrong-types) echo '{"jsonrpc":"2.0","id":"2","result":{}}' ;;
huge-line)
  head -c 10485760 /dev/zero | tr '\0' x; echo
  echo "$reply2" ;;
*)
  echo '{"jsonrpc":"2.0","method":"account/rateLimits/updated","params":{}}'
  printf '%s' "$(echo "$reply2" | cut -c1-40)"
  sleep 0.1
  echo "$reply2" | cut -c41- ;;
esac
while read -r line; do :; done
)SH";

bool isExecutable(const fs::path& path)
{
    return ::access(path.c_str(), X_OK) == 0;
}

// Live (not zombie) processes whose command line mentions `marker`.
int processesMentioning(const std::string& marker)
{
    int count = 0;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos || name == std::to_string(::getpid()))
            continue;
        // A process may end between the listing and the reads (another test's, say): its files
        // then read as an error, and it is not counted.
        const std::string text = FileUtil::read(entry.path() / "cmdline").bytes;
        const std::string stat = FileUtil::read(entry.path() / "stat").bytes;
        const auto close = stat.rfind(')');
        const bool zombie = close != std::string::npos && stat.compare(close + 1, 3, " Z ") == 0;
        if (!zombie && text.find(marker) != std::string::npos)
            ++count;
    }
    return count;
}

class CodexUsageProviderTest : public ::testing::Test
{
  protected:
    CodexUsageProviderTest()
    {
        fs::create_directories(bin);
        std::ofstream(codex) << kStandIn;
        fs::permissions(codex, fs::perms::owner_all);
        ::setenv("CODEX_LOG", log.c_str(), 1);
    }
    ~CodexUsageProviderTest() override
    {
        QThreadPool::globalInstance()->waitForDone();
        ::unsetenv("CODEX_LOG");
        ::unsetenv("CODEX_SCENARIO");
    }

    std::vector<std::string> logLines() const
    {
        std::ifstream in(log);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    TemporaryFolder folder;
    const fs::path bin = folder.path() / "codex-bin";
    const fs::path codex = bin / "codex";
    const fs::path log = folder.path() / "codex.log";
    ManualScheduler clock;
    LinuxProcessRunner runner;
    CommandLookup lookup{runner, "/bin/false"};
    CodexUsageProvider provider{
        clock, runner, lookup, {.replyTimeout = 1500ms, .lineLimit = 4 << 20, .exitGrace = 300ms}};
};

TEST_F(CodexUsageProviderTest, EachScenarioEndsAsItShouldAndLeavesNoProcess)
{
    struct Case
    {
        const char* scenario;
        std::optional<double> sessionPercent; // none: the read fails with transport
    };
    const Case cases[] = {
        {"plain", 12.5},
        {"error-init", 12.5},
        {"huge-line", 12.5},
        {"error-read", std::nullopt},
        {"wrong-types", std::nullopt},
        {"no-reply", std::nullopt},
        {"early-exit", std::nullopt},
        {"stubborn", std::nullopt},
    };
    for (const auto& [scenario, percent] : cases) {
        ::setenv("CODEX_SCENARIO", scenario, 1);
        const auto outcome = provider.readRateLimits(codex.string());
        if (percent) {
            ASSERT_TRUE(std::holds_alternative<CodexUsageProvider::RateLimits>(outcome)) << scenario;
            const auto& limits = std::get<CodexUsageProvider::RateLimits>(outcome);
            ASSERT_TRUE(limits.primary) << scenario;
            EXPECT_EQ(limits.primary->usedPercent, percent) << scenario;
            EXPECT_EQ(limits.planType, "pro") << scenario;
        } else {
            ASSERT_TRUE(std::holds_alternative<UsageError>(outcome)) << scenario;
            EXPECT_EQ(std::get<UsageError>(outcome), UsageError::transport()) << scenario;
        }
        // The stubborn stand-in's child is named after it, so this counts it too, and no other
        // test's.
        EXPECT_EQ(processesMentioning(bin.string()), 0) << scenario;
    }
}

TEST_F(CodexUsageProviderTest, SpeaksTwoRequestsWithItsOwnPathFirst)
{
    ::setenv("CODEX_SCENARIO", "plain", 1);
    provider.readRateLimits(codex.string());
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(lines[0].starts_with("env TERM=dumb PATH=" + bin.string() + ":")) << lines[0];
    EXPECT_TRUE(lines[0].ends_with("args=app-server")) << lines[0];
    EXPECT_EQ(Json::parse(lines[1]), nlohmann::json::parse(R"({"jsonrpc":"2.0","id":1,"method":"initialize",
                  "params":{"clientInfo":{"name":"Velquist","version":"1.0"},"capabilities":null}})"));
    EXPECT_EQ(Json::parse(lines[2]),
              nlohmann::json::parse(R"({"jsonrpc":"2.0","id":2,"method":"account/rateLimits/read"})"));
}

TEST_F(CodexUsageProviderTest, FetchReportsAMissingCodexAsNotAuthenticated)
{
    std::optional<UsageResult<QuotaData>> outcome;
    provider.fetch([&](UsageResult<QuotaData> result) { outcome = std::move(result); });
    ASSERT_TRUE(waitUntil([&] { return outcome.has_value(); }));
    EXPECT_EQ(std::get<UsageError>(*outcome), UsageError::notAuthenticated());
}

TEST_F(CodexUsageProviderTest, FetchFindsCodexThroughTheLoginShellAndBuildsTheWindows)
{
    const fs::path shell = folder.path() / "login-shell";
    std::ofstream(shell) << "#!/bin/sh\necho " << codex.string() << "\n";
    fs::permissions(shell, fs::perms::owner_all);
    CommandLookup found(runner, shell.string());
    CodexUsageProvider source(clock, runner, found,
                              {.replyTimeout = 1500ms, .lineLimit = 4 << 20, .exitGrace = 300ms});
    ::setenv("CODEX_SCENARIO", "plain", 1);

    std::optional<UsageResult<QuotaData>> outcome;
    source.fetch([&](UsageResult<QuotaData> result) { outcome = std::move(result); });
    ASSERT_TRUE(waitUntil([&] { return outcome.has_value(); }));
    ASSERT_TRUE(std::holds_alternative<QuotaData>(*outcome));
    const auto& data = std::get<QuotaData>(*outcome);
    ASSERT_EQ(data.windows.size(), 1u);
    EXPECT_EQ(data.windows[0],
              (QuotaWindow{"session", "Session", 12.5, Clock::WallTime(std::chrono::seconds(1767225600))}));
    EXPECT_EQ(data.planName, "Pro");
    EXPECT_EQ(data.fetchedAt, clock.now());

    // Gone since: the next fetch searches again rather than trusting the old path.
    fs::remove(codex);
    EXPECT_EQ(source.binaryPath(), std::nullopt);
    EXPECT_TRUE(isExecutable(shell));
}

} // namespace
} // namespace velquist::test
