#pragma once

#include <array>
#include <optional>

namespace velquist {

// The steps of the first-run tour, in order.
enum class IntroStep { welcome = 0, working = 1, permission = 2, quiet = 3, local = 4, jump = 5, ready = 6 };

inline constexpr std::array<IntroStep, 7> kAllIntroSteps{
    IntroStep::welcome, IntroStep::working, IntroStep::permission, IntroStep::quiet,
    IntroStep::local,   IntroStep::jump,    IntroStep::ready};

// How a step is entered: going on, or back from the card's Back button.
enum class IntroDirection { forward, back };

constexpr std::optional<IntroStep> introStepFromRaw(int raw)
{
    if (raw < 0 || raw >= int(kAllIntroSteps.size()))
        return std::nullopt;
    return kAllIntroSteps[std::size_t(raw)];
}

constexpr std::optional<IntroStep> previousStep(IntroStep step)
{
    return introStepFromRaw(int(step) - 1);
}

} // namespace velquist
