#include "Shared/HookCleanup.h"
#include "Shared/HomePaths.h"
#include "support/base/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdexcept>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace velquist;
using nlohmann::ordered_json;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const std::string kOurs = "/home/u/.local/share/Velquist/bin/quorvel --engine claude";

ordered_json parse(const std::string& text)
{
    return ordered_json::parse(text);
}

mode_t modeOf(const fs::path& path)
{
    struct stat info
    {
    };
    ::stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

} // namespace

TEST(HookCleanupTest, RecognisesOurCommandsHoweverTheyAreQuoted)
{
    struct Case
    {
        std::string command;
        bool ours;
    };
    const Case cases[] = {
        {kOurs, true},
        {"/home/u/.local/share/Velquist/bin/quorvel", true},
        {"'/home/o'\\''brien/.local/share/Velquist/bin/quorvel' --engine codex", true},
        {"\"/home/a b/.local/share/Velquist/bin/quorvel\" --engine gemini --unavailable '{}'", true},
        {"/home/a\\ b/.local/share/Velquist/bin/quorvel --engine qwen", true},
        {"'/Users/u/Library/Application Support/Tarrowin/bin/quorvel' --engine claude", true},
        {"/home/u/.local/share/Velquist/bin/quorvel;echo done", true},
        {"quorvel --engine claude", false},
        {"/usr/local/bin/quorvel", false},
        {"cat /home/u/.local/share/Velquist/bin/quorvel.log", false},
        {"/opt/MyVelquist/bin/quorvel", false},
        {"/home/u/.local/share/velquist/bin/quorvel", false},
        {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HookCleanup::isOurs(c.command), c.ours) << c.command;
}

TEST(HookCleanupTest, StripRemovesOnlyOurEntries)
{
    const std::string ours = R"({"type":"command","command":")" + kOurs + R"("})";
    const std::string legacy = R"({"type":"command","command":"/x/Tarrowin/bin/quorvel"})";
    const std::string user = R"({"type":"command","command":"echo quorvel"})";
    struct Case
    {
        std::string name;
        std::string settings;
        std::string expected; // empty: unchanged
    };
    const Case cases[] = {
        {"group keeps the user's entry",
         R"({"hooks":{"PreToolUse":[{"matcher":"*","hooks":[)" + ours + "," + user + R"(],"timeout":5}]}})",
         R"({"hooks":{"PreToolUse":[{"matcher":"*","hooks":[)" + user + R"(],"timeout":5}]}})"},
        {"a group of ours only goes, then its event, then hooks",
         R"({"z":1,"hooks":{"Stop":[{"hooks":[)" + ours + "," + legacy + R"(]}]},"a":2})",
         R"({"z":1,"a":2})"},
        {"other events stay",
         R"({"hooks":{"Stop":[{"hooks":[)" + ours + R"(]}],"Notification":[{"hooks":[)" + user + R"(]}]}})",
         R"({"hooks":{"Notification":[{"hooks":[)" + user + R"(]}]}})"},
        {"cursor's flat entries, version kept",
         R"({"version":1,"hooks":{"beforeShellExecution":[{"command":")" + kOurs + R"("}]}})",
         R"({"version":1})"},
        {"flat entries of the user stay",
         R"({"version":1,"hooks":{"stop":[{"command":"say hi"},{"command":")" + kOurs + R"("}]}})",
         R"({"version":1,"hooks":{"stop":[{"command":"say hi"}]}})"},
        {"nothing of ours", R"({"hooks":{"Stop":[{"hooks":[)" + user + R"(]}]}})", ""},
        {"an event that is no list of objects is not touched",
         R"({"hooks":{"Stop":[{"command":")" + kOurs + R"("},"text"]}})", ""},
        {"hooks not an object", R"({"hooks":[{"command":")" + kOurs + R"("}]})", ""},
        {"no hooks", R"({"model":"x"})", ""},
        {"inner hooks without commands stay", R"({"hooks":{"Stop":[{"hooks":[{"type":"command"}]}]}})", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ordered_json settings = parse(c.settings);
        const bool changed = HookCleanup::strip(settings);
        EXPECT_EQ(changed, !c.expected.empty());
        EXPECT_EQ(settings.dump(), parse(c.expected.empty() ? c.settings : c.expected).dump());
    }
}

class HookCleanupFilesTest : public ::testing::Test
{
  protected:
    std::string ourGroup() const
    {
        return R"({"matcher":"","hooks":[{"type":"command","command":"')" +
               m_paths.installedHelper().string() + R"(' --engine x","timeout":86400}]})";
    }
    test::TemporaryFolder m_home;
    const HomePaths m_paths{m_home.path()};
};

TEST_F(HookCleanupFilesTest, StripAllConfigsRewritesOnlyFilesWithOurEntries)
{
    const std::string claude =
        "{\n  \"permissions\": {\"allow\": [\"Bash(ls)\"]},\n  \"hooks\": {\n    \"Stop\": [" + ourGroup() +
        R"(, {"hooks":[{"type":"command","command":"notify-send done"}]}]
  },
  "zeta": "é/ü"
}
)";
    const std::string codex = R"({"hooks":{"PreToolUse":[)" + ourGroup() + "]}}";
    const std::string cursorUntouched = R"({"version":1,"hooks":{"stop":[{"command":"say hi"}]}})";
    const std::string geminiBroken = R"({"hooks": {"BeforeTool": [)" + ourGroup() + "]";
    const std::string qwenNotObject = "[" + ourGroup() + "]";
    m_home.write(".claude/settings.json", claude);
    m_home.write(".codex/hooks.json", codex);
    m_home.write(".cursor/hooks.json", cursorUntouched);
    m_home.write(".gemini/settings.json", geminiBroken);
    m_home.write(".qwen/settings.json", qwenNotObject);
    ::chmod((m_home.path() / ".claude/settings.json").c_str(), 0640);

    const auto rewritten = HookCleanup::stripAllConfigs(m_home.path());
    ASSERT_EQ(rewritten.size(), 2u);
    EXPECT_EQ(rewritten[0], m_home.path() / ".claude/settings.json");
    EXPECT_EQ(rewritten[1], m_home.path() / ".codex/hooks.json");

    // The user's content stays byte for byte, in its order and layout, with the file's mode; the
    // backup has the old bytes.
    const std::string stripped = R"json({
  "permissions": {"allow": ["Bash(ls)"]},
  "hooks": {
    "Stop": [{"hooks":[{"type":"command","command":"notify-send done"}]}]
  },
  "zeta": "é/ü"
}
)json";
    EXPECT_EQ(m_home.read(".claude/settings.json"), stripped);
    EXPECT_EQ(m_home.read(".claude/settings.json.velquist.bak"), claude);
    EXPECT_EQ(modeOf(m_home.path() / ".claude/settings.json"), 0640u);
    EXPECT_EQ(modeOf(m_home.path() / ".claude/settings.json.velquist.bak"), 0640u);
    EXPECT_EQ(m_home.read(".codex/hooks.json"), "{}");
    EXPECT_EQ(m_home.read(".codex/hooks.json.velquist.bak"), codex);

    // Files without our entries, unparsable or not objects: untouched, no backup.
    EXPECT_EQ(m_home.read(".cursor/hooks.json"), cursorUntouched);
    EXPECT_EQ(m_home.read(".gemini/settings.json"), geminiBroken);
    EXPECT_EQ(m_home.read(".qwen/settings.json"), qwenNotObject);
    for (const char* backup : {".cursor/hooks.json.velquist.bak", ".gemini/settings.json.velquist.bak",
                               ".qwen/settings.json.velquist.bak"})
        EXPECT_FALSE(fs::exists(m_home.path() / backup)) << backup;

    // A second run finds nothing left to do and leaves the backups alone.
    EXPECT_TRUE(HookCleanup::stripAllConfigs(m_home.path()).empty());
    EXPECT_EQ(m_home.read(".claude/settings.json.velquist.bak"), claude);
}

TEST_F(HookCleanupFilesTest, ASymlinkedSettingsFileStaysALink)
{
    const std::string settings = R"({"hooks":{"Stop":[)" + ourGroup() + R"(]},"theme":"dark"})";
    const fs::path target = m_home.write("dotfiles/claude.json", settings);
    fs::create_directories(m_home.path() / ".claude");
    fs::create_symlink(target, m_home.path() / ".claude/settings.json");

    ASSERT_EQ(HookCleanup::stripAllConfigs(m_home.path()).size(), 1u);
    EXPECT_TRUE(fs::is_symlink(m_home.path() / ".claude/settings.json"));
    EXPECT_EQ(parse(m_home.read("dotfiles/claude.json")), parse(R"({"theme":"dark"})"));
    EXPECT_EQ(m_home.read(".claude/settings.json.velquist.bak"), settings);
}

TEST_F(HookCleanupFilesTest, WithLockRunsTheBodyOnlyWhileHoldingTheLock)
{
    EXPECT_EQ(HookCleanup::withLock(m_paths, [] { return 7; }), 7);
    const fs::path lock = m_paths.hooksLock();
    ASSERT_TRUE(fs::exists(lock));
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(modeOf(lock), 0644u & ~mask);

    // Held elsewhere: the wait is bounded and the body does not run.
    const int other = ::open(lock.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    bool ran = false;
    EXPECT_FALSE(HookCleanup::withLock(
        m_paths, [&] { ran = true; }, 50ms));
    EXPECT_FALSE(ran);
    ::flock(other, LOCK_UN);

    // A body that throws still releases the lock.
    EXPECT_THROW(HookCleanup::withLock(m_paths, []() -> int { throw std::runtime_error("boom"); }),
                 std::runtime_error);
    EXPECT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
    ::close(other);
}

TEST_F(HookCleanupFilesTest, WithLockDoesNothingWhenTheLockFileCannotBeOpened)
{
    // The support folder's place is taken by a file, so the lock file cannot exist.
    fs::create_directories(m_paths.support().parent_path());
    m_home.write(".local/share/Velquist", "not a folder");
    const std::string settings = R"({"hooks":{"Stop":[)" + ourGroup() + "]}}";
    m_home.write(".claude/settings.json", settings);

    EXPECT_EQ(HookCleanup::withLock(m_paths, [&] { return HookCleanup::stripAllConfigs(m_home.path()); }),
              std::nullopt);
    EXPECT_EQ(m_home.read(".claude/settings.json"), settings);
}

TEST_F(HookCleanupFilesTest, WithLockRefusesALinkInPlaceOfTheLockFile)
{
    const fs::path existing = m_home.path() / "elsewhere";
    m_home.write("elsewhere", "kept");
    for (const fs::path& target : {existing, m_home.path() / "not-there"}) {
        SCOPED_TRACE(target.string());
        fs::create_directories(m_paths.support());
        fs::remove(m_paths.hooksLock());
        fs::create_symlink(target, m_paths.hooksLock());
        bool ran = false;
        EXPECT_FALSE(HookCleanup::withLock(m_paths, [&] { ran = true; }));
        EXPECT_FALSE(ran);
        EXPECT_TRUE(fs::is_symlink(m_paths.hooksLock()));
    }
    EXPECT_EQ(m_home.read("elsewhere"), "kept");
    EXPECT_FALSE(fs::exists(m_home.path() / "not-there")) << "no file is made at a link's target";
}

TEST_F(HookCleanupFilesTest, AppPathRecordsThePathAndTellsWhenItIsGone)
{
    const fs::path app = m_home.write("Apps/My Velquist/velquist", "binary");
    HookCleanup::recordInstalledApp(m_paths, app);
    EXPECT_EQ(m_home.read(".local/share/Velquist/app-path"), app.string());
    EXPECT_EQ(modeOf(m_paths.appPathFile()), 0600u);
    EXPECT_FALSE(HookCleanup::appIsDefinitelyGone(m_paths));
    fs::remove(app);
    EXPECT_TRUE(HookCleanup::appIsDefinitelyGone(m_paths));

    struct Case
    {
        std::string content;
        bool gone;
    };
    const Case cases[] = {
        {"", false},
        {" \n\t", false},
        {"relative/velquist", false},
        {"/nonexistent/velquist\xff", false},
        {"  " + (m_home.path() / "missing").string() + "\n", true},
        {m_home.path().string(), false},
    };
    for (const auto& c : cases) {
        m_home.write(".local/share/Velquist/app-path", c.content);
        EXPECT_EQ(HookCleanup::appIsDefinitelyGone(m_paths), c.gone) << c.content;
    }
    fs::remove(m_paths.appPathFile());
    EXPECT_FALSE(HookCleanup::appIsDefinitelyGone(m_paths));
}
