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
