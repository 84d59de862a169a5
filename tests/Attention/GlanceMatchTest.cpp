#include "Attention/GlanceMatch.h"
#include "Attention/GlanceDwell.h"

#include <gtest/gtest.h>

using namespace velquist;
using namespace std::chrono_literals;
using GlanceMatch::Observation;

namespace {

Session candidate(std::string id, std::optional<std::string> tty, std::optional<std::string> aiTitle = {},
                  std::string cwd = "/work/a")
{
    Session s;
    s.id = std::move(id);
    s.terminal.tty = std::move(tty);
    s.aiTitle = std::move(aiTitle);
    s.cwd = std::move(cwd);
    return s;
}

} // namespace

TEST(GlanceMatchTest, TiersDecideInOrder)
{
    const Session a = candidate("claude:aaaaaaaa-1", "pts/1", "Fix the parser", "/work/a");
    const Session b = candidate("claude:bbbbbbbb-2", "pts/2", std::nullopt, "/work/b");
    const Session twin = candidate("codex:cccccccc-3", "pts/1", std::nullopt, "/work/c");
    const Session keyless = candidate("gemini:short-4", std::nullopt, std::nullopt, "/work/d");
    struct Case
    {
        const char* what;
        std::vector<Session> candidates;
        Observation observation;
        std::optional<std::string> seen;
    };
    const Case cases[] = {
        {"no candidates", {}, {.windowCount = 1}, std::nullopt},
        {"selected tab device", {a, b}, {.selectedTTY = "/dev/pts/2"}, b.id},
        {"a device two candidates share, though the title singles one out",
         {a, twin},
         {.selectedTTY = "/dev/pts/1", .focusedTitle = "fix the parser"},
         std::nullopt},
        {"a device nobody has: the title is not tried",
         {a, b},
         {.selectedTTY = "/dev/pts/9", .focusedTitle = "Fix the parser"},
         std::nullopt},
        {"agent title in other letter case", {a, b}, {.focusedTitle = "zsh - FIX THE PARSER"}, a.id},
        {"session id key in the title", {a, b}, {.focusedTitle = "bbbbbbbb: claude"}, b.id},
        {"an agent title of two characters falls back to the key",
         {candidate("claude:dddddddd-5", std::nullopt, " ab "), b},
         {.focusedTitle = "ab dddddddd"},
         "claude:dddddddd-5"},
        {"no key and no agent title never match by title",
         {keyless},
         {.focusedTitle = "gemini:short-4"},
         std::nullopt},
        {"two title matches: the folder is not tried",
         {a, candidate("x:eeeeeeee", std::nullopt, "parser")},
         {.focusedTitle = "Fix the parser", .focusedDocument = "/work/a", .windowCount = 1},
         std::nullopt},
        {"document folder", {a, b}, {.focusedDocument = "/work/b", .windowCount = 2}, b.id},
        {"document folder with three tabs, one window, one candidate",
         {a},
         {.focusedDocument = "/work/a", .windowCount = 1, .tabCount = 3},
         std::nullopt},
        {"one window, no tab group, one candidate", {b}, {.focusedTitle = "zsh", .windowCount = 1}, b.id},
        {"one window whose tabs cannot be counted",
         {b},
         {.windowCount = 1, .tabsUncounted = true},
         std::nullopt},
        {"one window, two candidates", {a, b}, {.windowCount = 1}, std::nullopt},
        {"nothing readable", {b}, {}, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GlanceMatch::seenSession(c.candidates, c.observation), c.seen) << c.what;
}

TEST(GlanceDwellTest, ReportsASessionSeenForTheDwellOncePerPeriod)
{
    using Seen = std::vector<std::optional<std::string>>;
    const std::optional<std::string> A = "A", B = "B", none;
    struct Case
    {
        const char* what;
        Seen matches; // one a second from 0 s
        Seen reported;
    };
    const Case cases[] = {
        {"steady look", {A, A, A}, {none, none, A}},
        {"a look away restarts the clock", {A, none, A, A, A}, {none, none, none, none, A}},
        {"another session restarts the clock", {A, B, A}, {none, none, none}},
        {"once reported, never again", {A, A, A, A, A, A}, {none, none, A, none, none, none}},
    };
    for (const auto& c : cases) {
        GlanceDwell dwell(2s);
        const Clock::Monotonic start{};
        Seen reported;
        for (std::size_t i = 0; i < c.matches.size(); ++i)
            reported.push_back(dwell.observe(c.matches[i], start + std::chrono::seconds(i)));
        EXPECT_EQ(reported, c.reported) << c.what;
    }
}
