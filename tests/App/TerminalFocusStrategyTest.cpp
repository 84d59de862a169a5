#include "Terminal/AlacrittyStrategy.h"
#include "Terminal/KittyStrategy.h"
#include "Terminal/TerminalFocusRegistry.h"
#include "Terminal/Tmux.h"
#include "Terminal/WarpStrategy.h"
#include "Terminal/WezTermStrategy.h"

#include "Core/Session.h"
#include "Platform/Linux/LinuxProcessRunner.h"
#include "support/RecordingUrlOpener.h"
#include "support/RecordingWindowSystem.h"
#include "support/WaitUntil.h"
#include "support/base/TemporaryHome.h"

#include <QObject>
#include <QThreadPool>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

using namespace velquist;
namespace fs = std::filesystem;

namespace {

// Stand-ins for the terminals' tools: each logs its arguments, one line a run, fails when its
// arguments match the given shell pattern, and otherwise prints the given output.
class StrategyFixture : public ::testing::Test
{
  protected:
    void standIn(const std::string& name, const std::string& failWhen = "@never@",
                 const std::string& output = {})
    {
        const auto path = folder.path() / name;
        std::ofstream(folder.path() / (name + ".out")) << output;
        std::ofstream(path) << "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" << log().string() << "'\n"
                            << "case \"$*\" in *" << failWhen << "*) exit 1;; esac\n"
                            << "cat '" << (folder.path() / (name + ".out")).string() << "'\n";
        fs::permissions(path, fs::perms::owner_all);
    }
    ~StrategyFixture() override { QThreadPool::globalInstance()->waitForDone(); }

    fs::path log() const { return folder.path() / "argv.log"; }
    std::vector<std::string> logged() const
    {
        std::ifstream in(log());
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    std::optional<bool> run(TerminalFocusStrategy& strategy, const Session& session)
    {
        std::optional<bool> result;
        strategy.focus(session, app, &context, [&result](bool focused) { result = focused; });
        test::waitUntil([&result] { return result.has_value(); });
        return result;
    }

    test::TemporaryFolder folder;
    LinuxProcessRunner runner;
    test::RecordingWindowSystem windows;
    test::RecordingUrlOpener urls;
    TerminalTools tools{runner, windows, urls,
                        [this](const std::string& name, const RunningApp&) -> std::optional<std::string> {
                            const auto path = folder.path() / name;
                            return fs::exists(path) ? std::optional(path.string()) : std::nullopt;
                        }};
    RunningApp app{777, "x", "X", true};
    QObject context;
};

Session session(TerminalEnvironment env, std::optional<std::int64_t> pid = 4321,
                std::string cwd = "/home/me/a.b (1)")
{
    Session s;
    s.id = "claude:3f2a9c1e-1111";
    s.cwd = std::move(cwd);
    s.terminal.ownerPID = pid;
    s.terminal.tty = "pts/4";
    s.terminal.env = std::move(env);
    return s;
}

} // namespace

TEST(TerminalFocusRegistryTest, FindsAStrategyByExactIdentifier)
{
    RunningApp none;
    LinuxProcessRunner runner;
    test::RecordingWindowSystem windows;
    test::RecordingUrlOpener urls;
    TerminalFocusRegistry registry(TerminalTools{runner, windows, urls, {}});
    const std::pair<std::optional<std::string>, const char*> cases[] = {
        {"dev.warp.Warp", "dev.warp.Warp-Stable"},
        {"dev.warp.Warp-Stable", "dev.warp.Warp-Stable"},
        {"net.kovidgoyal.kitty", "net.kovidgoyal.kitty"},
        {"com.github.wez.wezterm", "com.github.wez.wezterm"},
        {"org.alacritty", "org.alacritty"},
        {"ORG.ALACRITTY", nullptr},
        {"org.gnome.Terminal", nullptr},
        {std::nullopt, nullptr},
    };
    for (const auto& [id, served] : cases) {
        const auto* strategy = registry.strategy(id);
        EXPECT_EQ(strategy ? std::optional(strategy->bundleIDs().front()) : std::nullopt,
                  served ? std::optional<std::string>(served) : std::nullopt)
            << id.value_or("none");
    }
}

TEST_F(StrategyFixture, KittyTriesWindowIdThenPidThenAnchoredFolder)
{
    KittyStrategy kitty(tools);
    // No remote-control address: nothing runs.
    standIn("kitten");
    EXPECT_EQ(run(kitty, session({})), false);
    EXPECT_TRUE(logged().empty());

    const TerminalEnvironment env{{"KITTY_LISTEN_ON", "unix:/tmp/kitty-1"}, {"KITTY_WINDOW_ID", "7"}};
    EXPECT_EQ(run(kitty, session(env)), true);
    EXPECT_EQ(logged(), (std::vector<std::string>{"@ --to unix:/tmp/kitty-1 focus-window --match id:7"}));

    // Every earlier match fails: the folder, escaped and anchored, is the last try.
    fs::remove(log());
    standIn("kitten", "--match\\ [ip]");
    EXPECT_EQ(run(kitty, session(env)), true);
    EXPECT_EQ(logged(), (std::vector<std::string>{
                            "@ --to unix:/tmp/kitty-1 focus-window --match id:7",
                            "@ --to unix:/tmp/kitty-1 focus-window --match pid:4321",
                            "@ --to unix:/tmp/kitty-1 focus-window --match cwd:^/home/me/a\\.b \\(1\\)$",
                        }));

    // All fail: the strategy reports failure. Without kitten, kitty itself is asked.
    fs::remove(log());
    fs::remove(folder.path() / "kitten");
    standIn("kitty", "focus-window");
    EXPECT_EQ(run(kitty, session({{"KITTY_LISTEN_ON", "unix:/tmp/kitty-1"}}, std::nullopt)), false);
    EXPECT_EQ(logged().size(), 1u);
}

TEST_F(StrategyFixture, WezTermActivatesThePaneFromTheEnvironmentOrTheList)
{
    WezTermStrategy wezterm(tools);
    standIn("wezterm", "@never@",
            R"js([{"pane_id":1,"cwd":"file://host/home/me/a.b (1)","tty_name":"/dev/pts/9"},)js"
            R"js({"pane_id":2,"cwd":"file://host/other","tty_name":"/dev/pts/4"}])js");
    EXPECT_EQ(run(wezterm, session({{"WEZTERM_PANE", "12"}})), true);
    EXPECT_EQ(logged(), (std::vector<std::string>{"cli activate-pane --pane-id 12"}));

    fs::remove(log());
    EXPECT_EQ(run(wezterm, session({{"WEZTERM_PANE", "12; rm"}})), true);
    EXPECT_EQ(logged(),
              (std::vector<std::string>{"cli list --format json", "cli activate-pane --pane-id 2"}));

    // A failed activation is no success.
    fs::remove(log());
    standIn("wezterm", "activate-pane");
    EXPECT_EQ(run(wezterm, session({{"WEZTERM_PANE", "12"}})), false);
}

TEST(WezTermStrategyTest, PaneIdPrefersTheTtyThenTheFolder)
{
    const std::string list = R"([{"pane_id":1,"cwd":"file://h/proj","tty_name":"/dev/pts/1"},)"
                             R"({"pane_id":2,"cwd":"file://h/proj","tty_name":"/dev/pts/2"},)"
                             R"({"pane_id":"3","cwd":"file://h/str","tty_name":"/dev/pts/3"},)"
                             R"({"pane_id":4,"cwd":7}])";
    struct Case
    {
        std::string json;
        std::optional<std::string> tty;
        std::string cwd;
        std::optional<std::int64_t> pane;
    };
    const Case cases[] = {
        {list, "pts/2", "/proj", 2},
        {list, std::nullopt, "/proj", 1},
        {list, "pts/9", "/proj", 1},
        {list, "pts/3", "/str", std::nullopt}, // found, but its id is no integer
        {list, std::nullopt, "/none", std::nullopt},
        {"{}", "pts/1", "/proj", std::nullopt},
        {"[1]", "pts/1", "/proj", std::nullopt},
        {"not json", "pts/1", "/proj", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WezTermStrategy::paneID(c.json, c.tty, c.cwd), c.pane) << c.tty.value_or("-") << c.cwd;
}

TEST_F(StrategyFixture, AlacrittyRaisesItsOnlyWindowOrTheFirstNamingTheFolder)
{
    AlacrittyStrategy alacritty(tools);
    EXPECT_EQ(run(alacritty, session({})), false); // no window at all

    windows.setWindows({{11, 777, "anything", "a", "A", 0, {}, false}});
    EXPECT_EQ(run(alacritty, session({})), true);
    windows.setWindows({{21, 777, "other", "a", "A", 0, {}, false},
                        {22, 777, "~/A.B (1): zsh", "a", "A", 0, {}, false},
                        {23, 777, "a.b (1) again", "a", "A", 0, {}, false}});
    EXPECT_EQ(run(alacritty, session({})), true);
    EXPECT_EQ(windows.activated(), (std::vector<WindowId>{11, 22}));
    EXPECT_EQ(run(alacritty, session({}, 1, "/nowhere")), false);
}

TEST_F(StrategyFixture, WarpOpensOnlyItsOwnScheme)
{
    WarpStrategy warp(tools);
    const std::pair<std::optional<std::string>, bool> cases[] = {
        {"warp://session/5", true},    {"https://evil.example/", false},
        {"file:///etc/passwd", false}, {"not a url", false},
        {std::nullopt, false},
    };
    for (const auto& [url, opened] : cases) {
        TerminalEnvironment env;
        if (url)
            env["WARP_FOCUS_URL"] = *url;
        EXPECT_EQ(run(warp, session(env)), opened) << url.value_or("none");
    }
    EXPECT_EQ(urls.opened(), (std::vector<std::string>{"warp://session/5"}));
}
