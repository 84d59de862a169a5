#include "Characters/IntroStepContent.h"

#include <gtest/gtest.h>

using namespace velquist;
using E = LogoCatExpression;

namespace {

const std::string kTail =
    " Just run one in any terminal and I'll pick it up. That's it - I'll take it from here.";

} // namespace

TEST(IntroStepTexts, EveryStepsTitleButtonsAndFace)
{
    struct Case
    {
        IntroStep step;
        std::string title;
        std::string primary;
        std::optional<std::string> secondary;
        bool guide;
        E expression;
    };
    const Case cases[] = {
        {IntroStep::welcome, "Hey - thanks for installing me.", "Sure, let's go", {}, false, E::greeting},
        {IntroStep::working, "This is where your agents show up.", "Got it", {}, false, E::working},
        {IntroStep::permission, "When one of them needs you, I'll ask.", "Allow it", {}, false, E::alert},
        {IntroStep::quiet, "I'll try not to be annoying.", "Good to know", {}, false, E::sleepy},
        {IntroStep::local, "I'm terrible at gossip.", "Makes sense", {}, false, E::greeting},
        {IntroStep::jump, "One thing this desktop can't give me.", "Got it", {}, true, E::asking},
        {IntroStep::ready, "That's everything.", "Let me at it", {}, false, E::delighted},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        const IntroStepContent content = IntroStepTexts::content(c.step, {});
        EXPECT_EQ(content.title, c.title);
        EXPECT_EQ(content.primary, c.primary);
        EXPECT_EQ(content.secondary, c.secondary);
        EXPECT_EQ(content.showsAccessibilityGuide, c.guide);
        EXPECT_EQ(content.expression, c.expression);
        EXPECT_EQ(content.index, int(c.step));
        EXPECT_EQ(content.total, 7);
        EXPECT_EQ(content.isLast(), c.step == IntroStep::ready);
        EXPECT_FALSE(content.body.empty());
        EXPECT_EQ(content.body.find("Mac"), std::string::npos) << "no other platform's names";
    }
    const std::string jump = IntroStepTexts::content(IntroStep::jump, {}).body;
    EXPECT_NE(jump.find("tab. I can"), std::string::npos);
    EXPECT_EQ(std::count(jump.begin(), jump.end(), '\n'), 4) << "three paragraphs, one blank line apart";

    // A desktop that keeps windows out of reach is named in one paragraph of its own; other steps
    // do not change.
    const std::string named = IntroStepTexts::content(IntroStep::jump, {}, "GNOME").body;
    EXPECT_EQ(std::count(named.begin(), named.end(), '\n'), 6);
    EXPECT_NE(named.find("\n\nGNOME on Wayland keeps them out of my reach, so for now I jump through your "
                         "terminal's own controls (kitty, WezTerm, tmux).\n\n"),
              std::string::npos);
    EXPECT_EQ(IntroStepTexts::content(IntroStep::local, {}, "GNOME"),
              IntroStepTexts::content(IntroStep::local, {}));
}

TEST(IntroStepTexts, ReadyStepNamesTheAgentsItFoundAndSaysHookedOnlyWhenHooked)
{
    struct Case
    {
        const char* what;
        std::vector<FoundAgent> agents;
        std::string sentence;
    };
    const Case cases[] = {
        {"none", {}, "I couldn't find an agent CLI on this computer yet, but I'll be watching for one."},
        {"one hooked", {{"Codex", true}}, "I found Codex on this computer and hooked it up."},
        {"two hooked",
         {{"Claude Code", true}, {"Cursor", true}},
         "I found Claude Code and Cursor on this computer and hooked them up."},
        {"all six hooked",
         {{"Claude Code", true},
          {"Codex", true},
          {"Cursor", true},
          {"Gemini", true},
          {"Qwen", true},
          {"opencode", true}},
         "I found Claude Code, Codex, Cursor, Gemini, Qwen and opencode on this computer and hooked them "
         "up."},
        {"one not hooked", {{"Codex", false}}, "I found Codex on this computer."},
        {"two not hooked",
         {{"Codex", false}, {"Gemini", false}},
         "I found Codex and Gemini on this computer."},
        {"some hooked",
         {{"Claude Code", true}, {"Codex", false}, {"Gemini", true}},
         "I found Claude Code, Codex and Gemini on this computer and hooked up Claude Code and Gemini."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(IntroStepTexts::sentence(c.agents), c.sentence);
        EXPECT_EQ(IntroStepTexts::content(IntroStep::ready, c.agents).body, c.sentence + kTail);
    }
}
