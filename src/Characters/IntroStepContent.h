#pragma once

#include "Characters/IntroStep.h"
#include "Characters/LogoCatGrid.h"

#include <optional>
#include <string>
#include <vector>

namespace velquist {

// What the tour's card shows for one step: the words, the buttons' titles and the cat's face.
struct IntroStepContent
{
    std::string title;
    std::string body; // paragraphs separated by a blank line
    std::string primary;
    std::optional<std::string> secondary;
    bool showsAccessibilityGuide = false;
    LogoCatExpression expression = LogoCatExpression::greeting;
    int index = 0;
    int total = int(kAllIntroSteps.size());

    bool isLast() const { return index == total - 1; }
    bool operator==(const IntroStepContent&) const = default;
};

// An agent found on this computer, and whether our hooks (or our connection) are in place for it.
struct FoundAgent
{
    std::string name;
    bool hooked = false;
    bool operator==(const FoundAgent&) const = default;
};

namespace IntroStepTexts {

// The content of a step; the last step names the agents found, and the window-access step the
// desktop (`unreachableDesktop`, "GNOME") whose compositor keeps windows out of reach, if any.
IntroStepContent content(IntroStep step, const std::vector<FoundAgent>& agents,
                         const std::string& unreachableDesktop = {});

// The sentence that names the agents found, and says "hooked up" only of those whose hooks are
// installed.
std::string sentence(const std::vector<FoundAgent>& agents);

// "A", "A and B", "A, B and C".
std::string joinNames(const std::vector<std::string>& names);

} // namespace IntroStepTexts
} // namespace velquist
