#include "Settings/AppSettings.h"

#include "Platform/UserDefaults.h"
#include "Windows/NotchPlacement.h"

namespace velquist::AppSettings {

bool opensOnAttention(const UserDefaults& defaults)
{
    return defaults.boolValue("opensOnAttention").value_or(true);
}

void migratePlacement(const std::vector<ScreenDescription>& screens, UserDefaults& defaults)
{
    const NotchPlacement placement(defaults.stringValue("displayMode"));
    if (placement.kind != NotchPlacement::Kind::builtInOnly)
        return;
    for (const auto& screen : screens) {
        if (!DisplayIdentity::isBuiltIn(screen))
            continue;
        if (auto id = DisplayIdentity::id(screen))
            defaults.setValue("displayMode", NotchPlacement::display(*id).stored());
        return;
    }
}

} // namespace velquist::AppSettings
