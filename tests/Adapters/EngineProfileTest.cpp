#include "Adapters/EngineProfile.h"
#include "Core/AgentInquiry.h"
#include "support/MemoryDefaults.h"
#include "support/base/TemporaryHome.h"

#include <gtest/gtest.h>
#include <memory>

using namespace velquist;
using nlohmann::json;

namespace {

// What the adapter hands the encoders for each of the user's decisions.
struct Decision
{
    const char* name;
    std::function<std::string(const EngineProfile&)> encode;
};

std::vector<Decision> decisions()
{
    // The agent's own questions, echoed with the user's picks.
    const json questions =
        json::parse(R"([{"question":"Which?","options":[{"label":"A"},{"label":"B"},{"label":"C"}]}])");
    const std::optional<AgentInquiry> inquiry = AgentInquiry::parse({{"questions", questions}});
    const auto picked = inquiry->answers({{2, 0}});
    const json answers = *picked;
    const json answerInput = {{"questions", questions}, {"answers", answers}};

    return {
        {"allow", [](const EngineProfile& p) { return p.encodeAllow(std::nullopt, std::nullopt); }},
        {"allow with empty input and no permissions",
         [](const EngineProfile& p) { return p.encodeAllow(json::object(), json::array()); }},
        {"always",
         [](const EngineProfile& p) {
             return p.encodeAllow(std::nullopt,
                                  json::parse(R"([{"type":"addRules","destination":"localSettings"}])"));
         }},
        {"deny with message", [](const EngineProfile& p) { return p.encodeDeny("Use src/ instead"); }},
        {"answers",
         [answerInput](const EngineProfile& p) { return p.encodeAllow(answerInput, std::nullopt); }},
        {"plan approval",
         [](const EngineProfile& p) {
             return p.encodeAllow(
                 json{{"plan", "1. Edit"}},
                 json::array({{{"type", "setMode"}, {"mode", "acceptEdits"}, {"destination", "session"}}}));
         }},
    };
}

} // namespace

TEST(EngineProfileTest, DecisionDocumentsOfEachEngine)
{
    test::MemoryDefaults defaults;
    const std::string claudeOrCodex[] = {
        R"({"hookSpecificOutput":{"decision":{"behavior":"allow"},"hookEventName":"PermissionRequest"}})",
        R"({"hookSpecificOutput":{"decision":{"behavior":"allow","updatedInput":{}},"hookEventName":"PermissionRequest"}})",
        R"({"hookSpecificOutput":{"decision":{"behavior":"allow","updatedPermissions":[{"destination":"localSettings","type":"addRules"}]},"hookEventName":"PermissionRequest"}})",
        R"({"hookSpecificOutput":{"decision":{"behavior":"deny","message":"Use src\/ instead"},"hookEventName":"PermissionRequest"}})",
        R"({"hookSpecificOutput":{"decision":{"behavior":"allow","updatedInput":{"answers":{"Which?":"A, C"},"questions":[{"options":[{"label":"A"},{"label":"B"},{"label":"C"}],"question":"Which?"}]}},"hookEventName":"PermissionRequest"}})",
        R"({"hookSpecificOutput":{"decision":{"behavior":"allow","updatedInput":{"plan":"1. Edit"},"updatedPermissions":[{"destination":"session","mode":"acceptEdits","type":"setMode"}]},"hookEventName":"PermissionRequest"}})",
    };
    const std::string cursor[] = {
        R"({"permission":"allow"})",
        R"({"permission":"allow","updated_input":{}})",
        R"({"permission":"allow"})",
        R"({"agent_message":"Use src\/ instead","permission":"deny","user_message":"Use src\/ instead"})",
        R"({"permission":"allow","updated_input":{"answers":{"Which?":"A, C"},"questions":[{"options":[{"label":"A"},{"label":"B"},{"label":"C"}],"question":"Which?"}]}})",
        R"({"permission":"allow","updated_input":{"plan":"1. Edit"}})",
    };
    const std::string geminiAllow = R"({"decision":"allow"})";
    const std::string gemini[] = {geminiAllow, geminiAllow,
                                  geminiAllow, R"({"decision":"deny","reason":"Use src\/ instead"})",
                                  geminiAllow, geminiAllow};
    struct Engine
    {
        const char* name;
        std::unique_ptr<EngineProfile> profile;
        const std::string* expected;
    };
    Engine engines[] = {
        {"claude", std::make_unique<ClaudeEngineProfile>(defaults), claudeOrCodex},
        {"codex", std::make_unique<CodexEngineProfile>(), claudeOrCodex},
        {"cursor", std::make_unique<CursorEngineProfile>(), cursor},
        {"gemini", std::make_unique<GeminiEngineProfile>(), gemini},
        // Qwen Code takes Claude Code's decision document on its own "PermissionRequest".
        {"qwen", std::make_unique<QwenEngineProfile>(), claudeOrCodex},
    };
    const std::vector<Decision> cases = decisions();
    for (const Engine& engine : engines) {
        for (std::size_t i = 0; i < cases.size(); ++i)
            EXPECT_EQ(cases[i].encode(*engine.profile), engine.expected[i])
                << engine.name << ": " << cases[i].name;
    }
}

TEST(EngineProfileTest, FlagsAndTargetsOfEachEngine)
{
    test::TemporaryHome home;
    test::MemoryDefaults defaults;
    struct Row
    {
        std::unique_ptr<EngineProfile> profile;
        const char* engine;
        bool readOnly;
        bool idleDone;
        bool forwards;
    };
    const Row rows[] = {
        {std::make_unique<ClaudeEngineProfile>(defaults), "claude", false, false, true},
        {std::make_unique<ClaudeEngineProfile>(defaults, false), "claude", false, false, false},
        {std::make_unique<CodexEngineProfile>(), "codex", false, false, true},
        {std::make_unique<CursorEngineProfile>(), "cursor", false, false, false},
        {std::make_unique<GeminiEngineProfile>(), "gemini", true, true, false},
        {std::make_unique<QwenEngineProfile>(), "qwen", true, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.engine);
        EXPECT_EQ(row.profile->installTarget().engineNamespace, row.engine);
        EXPECT_EQ(row.profile->autoApprovesReadOnlyTools(), row.readOnly);
        EXPECT_EQ(row.profile->infersDoneWhenIdle(), row.idleDone);
        EXPECT_EQ(row.profile->forwardsUpdatedPermissions(), row.forwards);
        ASSERT_TRUE(row.profile->transcriptLineParser());
        EXPECT_TRUE(row.profile->transcriptLineParser()("not json").empty());
    }
}
