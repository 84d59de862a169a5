#include "Shared/AgentCatalog.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <set>
#include <string>

using namespace velquist;

TEST(AgentCatalogTest, EveryAgentHooksItsDecideEventAndNamesItConsistently)
{
    std::set<std::string_view> namespaces;
    for (const AgentEntry& agent : AgentCatalog::all()) {
        SCOPED_TRACE(std::string(agent.idNamespace));
        EXPECT_TRUE(namespaces.insert(agent.idNamespace).second) << "namespace used twice";
        EXPECT_EQ(AgentCatalog::find(agent.idNamespace), &agent);
        // The decide event is the agent's permission gate (Cursor's hook commands name their own
        // gates), and every hooked event can be read back.
        if (agent.style == HookInstallStyle::claudeStyle) {
            EXPECT_NE(std::find(agent.hookedEvents.begin(), agent.hookedEvents.end(), agent.decideOn),
                      agent.hookedEvents.end());
            EXPECT_EQ(agent.canonicalEvent(agent.decideOn), "PermissionRequest");
        }
        for (const std::string_view event : agent.hookedEvents)
            EXPECT_FALSE(agent.canonicalEvent(event).empty()) << event;
    }
    EXPECT_EQ(AgentCatalog::find("opencode"), nullptr);
    EXPECT_TRUE(AgentCatalog::all().front().alwaysHooked);
}

TEST(AgentCatalogTest, ConfigurationPathsAndUnits)
{
    struct Case
    {
        std::string_view agent;
        std::string path;
        int timeoutScale;
        bool answersWhenUnreachable;
    };
    const Case cases[] = {
        {"claude", "/h/.claude/settings.json", 1, false}, {"codex", "/h/.codex/hooks.json", 1, false},
        {"cursor", "/h/.cursor/hooks.json", 1, false},    {"gemini", "/h/.gemini/settings.json", 1000, true},
        {"qwen", "/h/.qwen/settings.json", 1000, false},
    };
    for (const auto& c : cases) {
        const AgentEntry* agent = AgentCatalog::find(c.agent);
        ASSERT_NE(agent, nullptr) << c.agent;
        EXPECT_EQ(agent->configPath("/h").string(), c.path);
        EXPECT_EQ(agent->timeoutScale, c.timeoutScale) << c.agent;
        EXPECT_EQ(!agent->unavailableResponse.empty(), c.answersWhenUnreachable) << c.agent;
    }
    EXPECT_EQ(AgentCatalog::find("cursor")->style, HookInstallStyle::cursorStyle);
    EXPECT_EQ(AgentCatalog::find("gemini")->canonicalEvent("AfterTool"), "PostToolUse");
    EXPECT_TRUE(AgentCatalog::find("gemini")->canonicalEvent("Stop").empty());
}
