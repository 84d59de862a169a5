#include "Windows/NotchPlacementResolver.h"

#include <algorithm>

namespace velquist::NotchPlacementResolver {
namespace {

using Kind = NotchPlacement::Kind;

// Candidates by placement, in screen order.
std::vector<std::size_t> candidates(const std::vector<ScreenFacts>& attached, const NotchPlacement& placement,
                                    const std::optional<std::string>& lastClicked)
{
    std::vector<std::size_t> chosen;
    const auto firstWhere = [&](auto&& test) -> std::optional<std::size_t> {
        for (std::size_t index = 0; index < attached.size(); ++index)
            if (test(attached[index]))
                return index;
        return std::nullopt;
    };
    switch (placement.kind) {
    case Kind::allDisplays:
        for (std::size_t index = 0; index < attached.size(); ++index)
            chosen.push_back(index);
        break;
    case Kind::lastClicked: {
        std::optional<std::size_t> pick;
        if (lastClicked)
            pick = firstWhere([&](const ScreenFacts& screen) { return screen.id == *lastClicked; });
        if (!pick)
            pick = firstWhere([](const ScreenFacts& screen) { return screen.isBuiltIn; });
        if (!pick && !attached.empty())
            pick = 0;
        if (pick)
            chosen.push_back(*pick);
        break;
    }
    case Kind::builtInOnly:
        for (std::size_t index = 0; index < attached.size(); ++index)
            if (attached[index].isBuiltIn)
                chosen.push_back(index);
        break;
    case Kind::display:
        for (std::size_t index = 0; index < attached.size(); ++index)
            if (attached[index].id == placement.displayID)
                chosen.push_back(index);
        break;
    }
    return chosen;
}

} // namespace

std::vector<std::size_t> activeScreens(const std::vector<ScreenFacts>& attached,
                                       const NotchPlacement& placement,
                                       const std::optional<std::string>& lastClicked,
                                       bool hidesOverFullScreen, bool needsAttention)
{
    std::vector<std::size_t> result;
    std::set<std::string> seen;
    for (const std::size_t index : candidates(attached, placement, lastClicked)) {
        const ScreenFacts& screen = attached[index];
        // A later screen with an id already taken is the same screen as far as anyone can tell.
        if (!seen.insert(screen.id).second)
            continue;
        if (hidesOverFullScreen && !needsAttention && screen.isCoveredByFullScreenWindow)
            continue;
        result.push_back(index);
    }
    return result;
}

std::set<std::string> activeScreenIDs(const std::vector<ScreenFacts>& attached,
                                      const NotchPlacement& placement,
                                      const std::optional<std::string>& lastClicked, bool hidesOverFullScreen,
                                      bool needsAttention)
{
    std::set<std::string> ids;
    for (const std::size_t index :
         activeScreens(attached, placement, lastClicked, hidesOverFullScreen, needsAttention))
        ids.insert(attached[index].id);
    return ids;
}

} // namespace velquist::NotchPlacementResolver
