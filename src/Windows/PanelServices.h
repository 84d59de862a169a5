#pragma once

#include "Core/Scheduler.h"
#include "Platform/Clock.h"
#include "Usage/UsageReading.h"

#include <QWidget>
#include <functional>
#include <optional>

namespace velquist {

class AttentionCoordinator;
class PanelShaper;
class PointerSource;
class PrivacyGuard;
class SessionRowSource;
class SessionStore;
class UserDefaults;

// What every notch panel shares: the sessions, the attention state, the settings, time, the
// pointer and the desktop's shaping, and what fills the panel's content. All must outlive the
// panels.
struct PanelServices
{
    SessionStore& store;
    AttentionCoordinator& coordinator;
    // None: never private.
    const PrivacyGuard* privacy;
    UserDefaults& defaults;
    const Clock& clock;
    Scheduler& scheduler;
    PointerSource& pointer;
    PanelShaper& shaper;
    // Makes the session cards of the open list.
    SessionRowSource& rows;
    // The usage store's reading; unset: there is no usage store.
    std::function<std::optional<UsageReading>()> usage = {};
    // Whether the usage ring has a window to show; unset: there is no usage store.
    std::function<bool()> hasUsageWindow = {};
    // Whether the introduction is playing; unset: never.
    std::function<bool()> introIsPlaying = {};
    // What the collapsed bar shows in its right wing, at the bar's height; unset: nothing.
    std::function<QWidget*(int barHeight)> makeCharacterLayer = {};
};

} // namespace velquist
