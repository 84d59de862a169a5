#include "Core/AgentInquiry.h"

#include <gtest/gtest.h>

using namespace velquist;
using nlohmann::json;

TEST(AgentInquiryTest, ParsesQuestionsFromToolInput)
{
    const json input = json::parse(R"({"questions": [
        {"question": "Which database?", "header": "Storage", "multiSelect": true,
         "options": [{"label": "Postgres", "description": "relational"}, {"description": "no label"},
                     {"label": 7}, {"label": "SQLite", "detail": "not read"}]},
        {"question": 5},
        {"question": "", "multiSelect": "yes", "options": "none", "header": 3}
    ]})");
    const auto inquiry = AgentInquiry::parse(input);
    ASSERT_TRUE(inquiry);
    const AgentInquiry expected{{
        AgentQuestion{
            "Which database?", {{"Postgres", "relational"}, {"SQLite", std::nullopt}}, "Storage", true},
        AgentQuestion{"", {}, std::nullopt, false},
    }};
    EXPECT_EQ(*inquiry, expected);
}

TEST(AgentInquiryTest, RejectsInputsWithoutUsableQuestions)
{
    for (const char* text : {R"({})", R"({"questions": "x"})", R"({"questions": []})",
                             R"({"questions": [{"question": "A?"}, "text"]})",
                             R"({"questions": [{"question": 1}]})", R"({"questions": [{}]})", R"([])"}) {
        EXPECT_FALSE(AgentInquiry::parse(json::parse(text))) << text;
    }
}

TEST(AgentInquiryTest, AnsweredTextsPastTheirBoundRefuseTheInquiryShownTextsAreCut)
{
    const auto repeat = [](const std::string& unit, std::size_t times) {
        std::string text;
        for (std::size_t i = 0; i < times; ++i)
            text += unit;
        return text;
    };
    constexpr std::size_t question = AgentQuestion::kMaxQuestionCharacters;
    constexpr std::size_t label = AgentQuestion::kMaxLabelCharacters;
    const auto input = [](const std::string& text, const std::string& optionLabel) {
        return json{
            {"questions",
             json::array({{{"question", "Short?"}, {"options", json::array({{{"label", "A"}}})}},
                          {{"question", text}, {"options", json::array({{{"label", optionLabel}}})}}})}};
    };
    struct Case
    {
        const char* name;
        std::string text;
        std::string label;
        bool accepted;
    } cases[] = {
        {"question at its bound", repeat("q", question), "A", true},
        // Bounds count characters, not bytes.
        {"wide question at its bound", repeat("\u00e9", question), "A", true},
        {"question past its bound", repeat("q", question + 1), "A", false},
        {"label at its bound", "Q?", repeat("\u00e9", label), true},
        {"label past its bound", "Q?", repeat("l", label + 1), false},
    };
    for (const auto& c : cases) {
        const auto inquiry = AgentInquiry::parse(input(c.text, c.label));
        ASSERT_EQ(inquiry.has_value(), c.accepted) << c.name;
        if (inquiry) {
            // What goes back to the agent is kept exactly.
            EXPECT_EQ(inquiry->questions[1].question, c.text) << c.name;
            EXPECT_EQ(inquiry->questions[1].options[0].label, c.label) << c.name;
        }
    }

    const json shown{
        {"questions",
         json::array({{{"question", "Q?"},
                       {"header", repeat("h", 5000)},
                       {"options", json::array({{{"label", "A"}, {"description", repeat("d", 5000)}}})}}})}};
    const auto cut = AgentInquiry::parse(shown);
    ASSERT_TRUE(cut);
    const std::string marker = "\u2026";
    EXPECT_EQ(cut->questions[0].header, repeat("h", AgentQuestion::kMaxShownCharacters - 1) + marker);
    EXPECT_EQ(cut->questions[0].options[0].detail,
              repeat("d", AgentQuestion::kMaxShownCharacters - 1) + marker);
}

TEST(AgentInquiryTest, AnswersFromPicks)
{
    const AgentQuestion abc{"Pick", {{"A", {}}, {"B", {}}, {"C", {}}}, {}, false};
    const AgentQuestion xy{"Other", {{"X", {}}, {"Y", {}}}, {}, false};
    using Answers = std::map<std::string, std::string>;
    using Picks = std::vector<std::vector<std::int64_t>>;
    struct Case
    {
        std::vector<AgentQuestion> questions;
        Picks picks;
        std::optional<Answers> answers;
    } cases[] = {
        {{abc}, {{2, 0}}, Answers{{"Pick", "A, C"}}},
        {{abc}, {{1, 1}}, Answers{{"Pick", "B, B"}}},
        {{abc, xy}, {{1}, {0}}, Answers{{"Pick", "B"}, {"Other", "X"}}},
        {{abc, xy}, {{1}}, std::nullopt},
        {{abc}, {{}}, std::nullopt},
        {{abc}, {{3}}, std::nullopt},
        {{abc}, {{-1}}, std::nullopt},
        {{AgentQuestion{"Free", {}, {}, false}}, {{0}}, std::nullopt},
        {{abc, AgentQuestion{"Pick", {{"Z", {}}}, {}, false}}, {{0}, {0}}, Answers{{"Pick", "Z"}}},
        {{}, {}, Answers{}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AgentInquiry{c.questions}.answers(c.picks), c.answers);
    }
}

TEST(AgentInquiryTest, StoredForm)
{
    const AgentInquiry inquiry{{AgentQuestion{"Go?", {{"Yes", "do it"}, {"No", {}}}, "Plan", false},
                                AgentQuestion{"Waiting for your input", {}, {}, false}}};
    EXPECT_EQ(
        inquiry.toJson().dump(),
        R"({"questions":[{"question":"Go?","options":[{"label":"Yes","detail":"do it"},{"label":"No"}],)"
        R"("header":"Plan","multiSelect":false},{"question":"Waiting for your input","options":[],)"
        R"("multiSelect":false}]})");
    const auto back = AgentInquiry::fromJson(json::parse(inquiry.toJson().dump()));
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(*back, inquiry);
    for (const char* bad :
         {R"({})", R"({"questions":[{"options":[],"multiSelect":false}]})",
          R"({"questions":[{"question":"q","multiSelect":false}]})",
          R"({"questions":[{"question":"q","options":[]}]})",
          R"({"questions":[{"question":"q","options":[{"detail":"d"}],"multiSelect":false}]})"}) {
        EXPECT_FALSE(AgentInquiry::fromJson(json::parse(bad)).ok()) << bad;
    }
}
