#pragma once

#include "Adapters/OpenCodeUpdate.h"

#include <nlohmann/json.hpp>
#include <optional>
#include <string_view>

namespace velquist::OpenCodeEvent {

// The update one event's JSON text carries, from either API: the payload sits under "data" on
// "/api/event" and under "properties" on "/event". None for anything not recognised (malformed
// JSON, another event type, a required key missing or of another type). Pure and thread-safe.
std::optional<OpenCodeUpdate> parse(std::string_view bytes);

// The tokens a conversation occupies: input plus cache reads and writes (or a plain cache count).
// Output and reasoning are not counted. Never negative, never overflows.
std::int64_t contextFill(const nlohmann::json& tokens);

} // namespace velquist::OpenCodeEvent
