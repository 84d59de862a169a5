#include "UI/PrivacySwitch.h"

#include "Core/AttentionCoordinator.h"
#include "Core/PrivacyGuard.h"

namespace velquist {

void switchPrivacy(PrivacyGuard& privacy, bool on, AttentionCoordinator* coordinator)
{
    privacy.setActive(on);
    if (!privacy.isActive() && coordinator)
        coordinator->privacyModeDidTurnOff();
}

} // namespace velquist
