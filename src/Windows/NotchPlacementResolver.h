#pragma once

#include "Windows/NotchPlacement.h"

#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace velquist {

// What placement needs to know of one attached screen.
struct ScreenFacts
{
    std::string id; // the screen's identity (DisplayIdentity), or its name when it has none
    bool isBuiltIn = false;
    bool isCoveredByFullScreenWindow = false;

    bool operator==(const ScreenFacts&) const = default;
};

// Which screens show a panel, from the user's placement and the screens' facts. Pure.
namespace NotchPlacementResolver {

// The positions in `attached` of the screens that show a panel, in screen order. Two screens can
// share an id (identical monitors without serials): only the first of them counts, so one choice
// never puts two panels up, nor the same panel on two screens.
std::vector<std::size_t> activeScreens(const std::vector<ScreenFacts>& attached,
                                       const NotchPlacement& placement,
                                       const std::optional<std::string>& lastClicked,
                                       bool hidesOverFullScreen, bool needsAttention);

// The ids of those screens.
std::set<std::string> activeScreenIDs(const std::vector<ScreenFacts>& attached,
                                      const NotchPlacement& placement,
                                      const std::optional<std::string>& lastClicked, bool hidesOverFullScreen,
                                      bool needsAttention);

} // namespace NotchPlacementResolver
} // namespace velquist
