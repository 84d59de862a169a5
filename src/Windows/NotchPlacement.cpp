#include "Windows/NotchPlacement.h"

namespace velquist {

namespace {
constexpr std::string_view kDisplayPrefix = "display:";
}

NotchPlacement::NotchPlacement(const std::optional<std::string>& stored)
{
    if (!stored)
        return;
    if (*stored == "lastClicked")
        kind = Kind::lastClicked;
    else if (*stored == "builtInOnly")
        kind = Kind::builtInOnly;
    else if (stored->starts_with(kDisplayPrefix)) {
        kind = Kind::display;
        displayID = stored->substr(kDisplayPrefix.size());
    }
}

NotchPlacement NotchPlacement::display(std::string id)
{
    NotchPlacement placement;
    placement.kind = Kind::display;
    placement.displayID = std::move(id);
    return placement;
}

std::string NotchPlacement::stored() const
{
    switch (kind) {
    case Kind::allDisplays:
        return "allDisplays";
    case Kind::lastClicked:
        return "lastClicked";
    case Kind::builtInOnly:
        return "builtInOnly";
    case Kind::display:
        return std::string(kDisplayPrefix) + displayID;
    }
    return "allDisplays";
}

} // namespace velquist
