#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace velquist::PermissionDecision {

// The bytes of a decision document: compact, with no line feed, every "/" written as "\/" (the
// form the agents have always been sent). Never throws: invalid UTF-8 is replaced.
std::string serialise(const nlohmann::json& document);

// Claude Code's and Codex's reply to their "PermissionRequest" hook around a decision object:
// {"hookSpecificOutput": {"hookEventName": "PermissionRequest", "decision": D}}.
std::string envelope(const nlohmann::json& decision);

// D = {"behavior": "allow"}, with "updatedInput" whenever an input is given (an empty one too) and
// "updatedPermissions" only when a non-empty list is given.
std::string allow(const std::optional<nlohmann::json>& updatedInput,
                  const std::optional<nlohmann::json>& updatedPermissions);

// D = {"behavior": "deny", "message": message}.
std::string deny(const std::string& message);

} // namespace velquist::PermissionDecision
