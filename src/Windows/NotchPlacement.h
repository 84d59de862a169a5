#pragma once

#include <optional>
#include <string>

namespace velquist {

// Where the notch panels appear, as stored under "displayMode".
struct NotchPlacement
{
    enum class Kind { allDisplays, lastClicked, builtInOnly, display };

    Kind kind = Kind::allDisplays;
    // The screen id of a `display` placement (may be empty).
    std::string displayID;

    NotchPlacement() = default;
    // Parses the stored text; absent or unknown text gives `allDisplays`. Never fails.
    explicit NotchPlacement(const std::optional<std::string>& stored);

    static NotchPlacement display(std::string id);
    // The text stored for this placement.
    std::string stored() const;

    bool operator==(const NotchPlacement&) const = default;
};

} // namespace velquist
