#pragma once

namespace velquist {

class AttentionCoordinator;
class PrivacyGuard;

// The user's switch of privacy mode, shared by the Privacy tab and the status menu: sets the mode,
// and when it is off afterwards lets the coordinator announce a request that is still waiting.
// Without a coordinator the mode still changes.
void switchPrivacy(PrivacyGuard& privacy, bool on, AttentionCoordinator* coordinator);

} // namespace velquist
