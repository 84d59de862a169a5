#pragma once

#include "Core/Session.h"

#include <optional>
#include <string>
#include <vector>

namespace velquist {

// Which of the unread finished sessions the front terminal window shows. Pure.
namespace GlanceMatch {

// What the front terminal shows; every field may be unknown.
struct Observation
{
    // "/dev/<tty>" of the front window's selected tab, where the terminal tells it.
    std::optional<std::string> selectedTTY = std::nullopt;
    std::optional<std::string> focusedTitle = std::nullopt;
    // The folder of the focused window's document.
    std::optional<std::string> focusedDocument = std::nullopt;
    std::optional<int> windowCount = std::nullopt;
    // Tabs of the front window, when they can be counted.
    std::optional<int> tabCount = std::nullopt;
    // The terminal may show tabs that cannot be counted, so one window does not mean one surface.
    bool tabsUncounted = false;

    bool operator==(const Observation&) const = default;
};

// The id of the one candidate the observation shows: by selected tab device (which decides
// alone), else by window title, else by document folder, else the only candidate of a terminal
// with one window and no tabs. Two or more matches in a tier give none.
std::optional<std::string> seenSession(const std::vector<Session>& candidates,
                                       const Observation& observation);

} // namespace GlanceMatch
} // namespace velquist
