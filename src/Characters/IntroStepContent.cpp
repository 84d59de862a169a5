#include "Characters/IntroStepContent.h"

namespace velquist::IntroStepTexts {
namespace {

using E = LogoCatExpression;

constexpr const char* kReadyTail =
    " Just run one in any terminal and I'll pick it up. That's it - I'll take it "
    "from here.";

} // namespace

std::string joinNames(const std::vector<std::string>& names)
{
    std::string out;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0)
            out += i + 1 == names.size() ? " and " : ", ";
        out += names[i];
    }
    return out;
}

std::string sentence(const std::vector<FoundAgent>& agents)
{
    if (agents.empty())
        return "I couldn't find an agent CLI on this computer yet, but I'll be watching for one.";
    std::vector<std::string> all;
    std::vector<std::string> hooked;
    for (const FoundAgent& agent : agents) {
        all.push_back(agent.name);
        if (agent.hooked)
            hooked.push_back(agent.name);
    }
    std::string text = "I found " + joinNames(all) + " on this computer";
    if (hooked.size() == all.size())
        text += all.size() == 1 ? " and hooked it up." : " and hooked them up.";
    else if (hooked.empty())
        text += ".";
    else
        text += " and hooked up " + joinNames(hooked) + ".";
    return text;
}

IntroStepContent content(IntroStep step, const std::vector<FoundAgent>& agents,
                         const std::string& unreachableDesktop)
{
    IntroStepContent c;
    c.index = int(step);
    switch (step) {
    case IntroStep::welcome:
        c.title = "Hey - thanks for installing me.";
        c.body = "Give me about a minute and I'll show you around. You can bail out any time.";
        c.primary = "Sure, let's go";
        c.expression = E::greeting;
        break;
    case IntroStep::working:
        c.title = "This is where your agents show up.";
        c.body = "Every session gets a row up there: which project it's in, what it's doing right now, how "
                 "much context it has left. That one's a puppet show - I wrote those lines myself. No agent "
                 "is running and not one token of yours was harmed.";
        c.primary = "Got it";
        c.expression = E::working;
        break;
    case IntroStep::permission:
        c.title = "When one of them needs you, I'll ask.";
        c.body = "You can read exactly what it wants to run and say yes from up there, without a keystroke "
                 "going anywhere near it. I won't yank you out of whatever you're in the middle of.";
        c.primary = "Allow it";
        c.expression = E::alert;
        break;
    case IntroStep::quiet:
        c.title = "I'll try not to be annoying.";
        c.body = "If you don't answer I'll nudge a couple more times, then leave you alone. I stay quiet "
                 "while you're already in that terminal, while you're away from your desk, and while your "
                 "screen is locked.";
        c.primary = "Good to know";
        c.expression = E::sleepy;
        break;
    case IntroStep::local:
        c.title = "I'm terrible at gossip.";
        c.body = "I watch your agents on this computer and that's the whole job. No account, no sign-up, and "
                 "nothing of yours ever leaves it. Whatever you're building stays between you and your "
                 "terminal.";
        c.primary = "Makes sense";
        c.expression = E::greeting;
        break;
    case IntroStep::jump:
        // No Linux desktop has a switch to grant this: an X11 session with a window manager gives
        // it, and nothing else can, so the step says so and moves on.
        c.title = "One thing this desktop can't give me.";
        c.body =
            "Click any session and I'll take you straight to that terminal, on the exact tab. I can only "
            "do that when your desktop lets me see and raise its windows.\n\n" +
            (unreachableDesktop.empty()
                 ? std::string()
                 : unreachableDesktop + " on Wayland keeps them out of my reach, so for now I jump through "
                                        "your terminal's own controls (kitty, WezTerm, tmux).\n\n") +
            "An X11 session with a window manager gives me that. Choose it on your log-in screen and "
            "I'll find your terminal window and bring it to the front. I never read your screen or "
            "type anything anywhere.\n\n"
            "Everything else works without it.";
        c.primary = "Got it";
        c.showsAccessibilityGuide = true;
        c.expression = E::asking;
        break;
    case IntroStep::ready:
        c.title = "That's everything.";
        c.body = sentence(agents) + kReadyTail;
        c.primary = "Let me at it";
        c.expression = E::delighted;
        break;
    }
    return c;
}

} // namespace velquist::IntroStepTexts
