#include "Core/AgentGrouping.h"

#include <gtest/gtest.h>

using namespace velquist;
using nlohmann::json;
using S = SessionStatus;

namespace {

Session session(AgentKind kind, SessionStatus status, bool seen = false)
{
    Session s;
    s.id = "x";
    s.agent = kind;
    s.status = std::move(status);
    if (seen)
        s.doneSeenAt = Clock::WallTime{};
    return s;
}

} // namespace

TEST(AgentGroupingTest, OneEntryPerKindInKindOrder)
{
    using K = AgentKind;
    const PermissionRequest request{"Bash", "ls", std::nullopt, false};
    struct Case
    {
        std::vector<Session> sessions;
        std::vector<AgentGroup> groups;
    } cases[] = {
        {{}, {}},
        {{session(K::detected, S::Working{})}, {{K::detected, 0}}},
        {{session(K::codex, S::Working{}), session(K::claudeCode, S::Working{})},
         {{K::claudeCode, 0}, {K::codex, 0}}},
        {{session(K::gemini, S::Done{}), session(K::gemini, S::Done{}, true), session(K::gemini, S::Idle{}),
          session(K::gemini, S::Ended{}), session(K::gemini, S::NeedsPermission{request}),
          session(K::gemini, S::WaitingForInput{})},
         {{K::gemini, 3}}},
        {{session(K::opencode, S::Idle{}), session(K::qwen, S::Done{}), session(K::cursor, S::Done{}, true)},
         {{K::cursor, 0}, {K::qwen, 1}, {K::opencode, 0}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AgentGrouping::groups(c.sessions), c.groups);
    }
}

TEST(AgentGroupingTest, CapabilitiesPerKind)
{
    using K = AgentKind;
    const AgentCapabilities all{true, true, true, true, true};
    const AgentCapabilities noAnswer{true, true, true, false, true};
    const AgentCapabilities watchOnly{true, false, false, false, true};
    const std::pair<K, AgentCapabilities> table[] = {
        {K::claudeCode, all}, {K::codex, all},    {K::cursor, all},         {K::gemini, noAnswer},
        {K::qwen, noAnswer},  {K::opencode, all}, {K::detected, watchOnly},
    };
    for (const auto& [kind, capabilities] : table) {
        EXPECT_EQ(AgentCapabilities::of(kind), capabilities) << toString(kind);
        EXPECT_EQ(session(kind, S::Idle{}).capabilities(), capabilities);
    }
}

TEST(AgentGroupingTest, CapabilitiesStoredForm)
{
    const AgentCapabilities noAnswer{true, true, true, false, true};
    EXPECT_EQ(
        noAnswer.toJson().dump(),
        R"({"hasLiveActivity":true,"canApprove":true,"canDeny":true,"canAnswer":false,"canJump":true})");
    EXPECT_EQ(*AgentCapabilities::fromJson(json::parse(noAnswer.toJson().dump())), noAnswer);
    EXPECT_FALSE(
        AgentCapabilities::fromJson(
            json::parse(R"({"hasLiveActivity":true,"canApprove":true,"canDeny":true,"canAnswer":false})"))
            .ok());
    EXPECT_FALSE(
        AgentCapabilities::fromJson(
            json::parse(
                R"({"hasLiveActivity":1,"canApprove":true,"canDeny":true,"canAnswer":false,"canJump":true})"))
            .ok());
}
