#pragma once

#include "Adapters/EngineProfile.h"
#include "Core/Session.h"
#include "Ingestion/HookEvent.h"
#include "Platform/Clock.h"
#include "Shared/AgentKind.h"

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace velquist {

// What one hook event does to its session, as plain functions of the session, the event and the
// engine's traits. The adapter stores what they return and does the rest itself: held requests,
// timers, tailers and the terminal's application.
namespace HookSessionReducer {

using Traits = EngineProfile::Traits;

inline constexpr std::string_view kThinking = "Thinking\u2026";
inline constexpr std::string_view kPlanReady = "Plan ready for review";
inline constexpr std::string_view kPlanTool = "ExitPlanMode";
inline constexpr std::string_view kQuestionTool = "AskUserQuestion";

// The session that the first event of `key` starts: idle, in the event's folder and terminal.
Session fresh(const std::string& key, AgentKind agent, const HookEvent& event, Clock::WallTime now);
// The session after `event`. What the event carries of the folder and terminal replaces what the
// session had; what it leaves out is kept. `now` dates a subagent run that starts.
Session reduce(Session session, const HookEvent& event, const Traits& traits, Clock::WallTime now);

// The session with the folder and terminal the event carries; what it leaves out is kept.
Session withContext(Session session, const HookEvent& event);
// The session showing the request of `request`, as a permission request or a question.
Session showRequest(Session session, const HookEvent& request, const Traits& traits);
// The session working on `activity`.
Session showWorking(Session session, const std::optional<std::string>& activity);
// Whether `status` still shows the request of `request`, as `showRequest` put it up.
bool showsRequest(const SessionStatus& status, const HookEvent& request, const Traits& traits);

// The inquiry when the event's tool is the agent asking the user.
const AgentInquiry* question(const HookEvent& event);
// Whether the event announces a plan for review whose text is to be kept as the agent wrote it.
bool announcesPlan(const HookEvent& event);
// The agent's permission suggestions when they are a non-empty list of objects.
std::optional<nlohmann::json> suggestions(const HookEvent& event);
// Whether the always-allow grant can be offered: the agent takes its suggestions back.
bool supportsAlwaysAllow(const HookEvent& event, const Traits& traits);
// The tool a permission notification names: the first word after " to use ", its punctuation
// trimmed (possibly empty); none without the phrase or a word after it.
std::optional<std::string> toolName(std::string_view permissionMessage);
// A done session's summary: the agent's last text on one line, cut to 120 characters.
std::string doneSummary(std::string_view text);

} // namespace HookSessionReducer

} // namespace velquist
