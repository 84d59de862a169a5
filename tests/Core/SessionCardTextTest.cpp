#include "Core/SessionCardText.h"

#include "support/Prompts.h"

#include <gtest/gtest.h>

using namespace velquist;
using test::question;
using test::request;
using Content = SessionCardText::Content;
using Tone = SessionCardText::Tone;

TEST(SessionCardTextTest, TitlesStatusLinesAndPromptSeeds)
{
    EXPECT_EQ(SessionCardText::title("unknown"), "No folder");
    EXPECT_EQ(SessionCardText::title("/home/u/proj/"), "proj");
    EXPECT_EQ(SessionCardText::title("/home/u/proj"), "proj");

    struct StatusCase
    {
        SessionStatus status;
        QString text;
        Tone tone = Tone::quiet;
    } statuses[] = {
        {SessionStatus::Working{}, QString::fromUtf8("Working\u2026")},
        {SessionStatus::Working{""}, ""},
        {SessionStatus::Done{}, "Done"},
        {SessionStatus::Done{"Built"}, "Built"},
        {SessionStatus::WaitingForInput{}, "Waiting for your input", Tone::waiting},
        {SessionStatus::WaitingForInput{AgentInquiry{{question("Which?", 1, false)}}}, "Which?",
         Tone::waiting},
        {SessionStatus::NeedsPermission{request(std::nullopt)}, "Run make", Tone::permission},
        {SessionStatus::Idle{}, "Idle"},
        {SessionStatus::Ended{}, "Ended"},
    };
    for (const auto& c : statuses)
        EXPECT_EQ(SessionCardText::statusLine(c.status), (SessionCardText::StatusLine{c.text, c.tone}));

    struct SeedCase
    {
        std::optional<std::string> prompt;
        std::optional<std::string> seed;
    } seeds[] = {
        {std::nullopt, std::nullopt},
        {"", std::nullopt},
        {"   \nlater text", std::nullopt},
        {"\n\n \tfix it\t \nmore", "fix it"},
        {std::string(100, 'a'), std::string(60, 'a')},
    };
    for (const auto& c : seeds)
        EXPECT_EQ(SessionCardText::promptSeed(c.prompt), c.seed) << c.prompt.value_or("(none)");

    EXPECT_EQ(SessionCardText::promptMenuTitle(std::string(40, 'x')),
              QString::fromUtf8("Hide sessions starting with \u201C") + QString(32, 'x') +
                  QString::fromUtf8("\u2026\u201D"));
    EXPECT_EQ(SessionCardText::promptMenuTitle("short"),
              QString::fromUtf8("Hide sessions starting with \u201Cshort\u201D"));
}

TEST(SessionCardTextTest, TheContentFollowsWhatTheSessionWaitsForAndWhatItsAgentAllows)
{
    struct Case
    {
        const char* name;
        SessionStatus status;
        AgentKind agent = AgentKind::claudeCode;
        bool seen = false;
        Content content;
    } cases[] = {
        {"a request",
         SessionStatus::NeedsPermission{request(ToolDetail::Bash{"make", {}, false})},
         {},
         false,
         Content::permission},
        {"a plan",
         SessionStatus::NeedsPermission{request(ToolDetail::Plan{"# Plan"})},
         {},
         false,
         Content::plan},
        {"a question",
         SessionStatus::WaitingForInput{AgentInquiry{{question("Pick", 2, false)}}},
         {},
         false,
         Content::questionForm},
        {"a question without options",
         SessionStatus::WaitingForInput{AgentInquiry{{question("Why?", 0, false)}}},
         {},
         false,
         Content::jumpToAnswer},
        {"a question its agent cannot take an answer to",
         SessionStatus::WaitingForInput{AgentInquiry{{question("Pick", 2, false)}}}, AgentKind::detected,
         false, Content::jumpToAnswer},
        {"waiting without a question", SessionStatus::WaitingForInput{}, {}, false, Content::jumpToAnswer},
        {"done and unread", SessionStatus::Done{}, {}, false, Content::markRead},
        {"done and read", SessionStatus::Done{}, {}, true, Content::none},
        {"working", SessionStatus::Working{}, {}, false, Content::none},
    };
    for (const auto& c : cases) {
        Session session;
        session.id = "claude:a";
        session.agent = c.agent;
        session.status = c.status;
        if (c.seen)
            session.doneSeenAt = Clock::WallTime{};
        EXPECT_EQ(SessionCardText::contentFor(session), c.content) << c.name;
    }
}
