#pragma once

#include "Shared/Json.h"

#include <nlohmann/json.hpp>
#include <optional>
#include <string_view>

namespace velquist::FastJson {

// `Json::parse` for hot paths (transcript lines): a vectorised parser validates and reads the text,
// then the tree is built from it. Same answers as `Json::parse`: none for malformed text, invalid
// UTF-8 or nesting deeper than `depthLimit`. Numbers the fast parser cannot hold (integers past 64
// bits) fall back to the ordinary parser. Thread-safe (one parser per thread).
std::optional<nlohmann::json> parse(std::string_view text, int depthLimit = Json::kMaxDepth);

} // namespace velquist::FastJson
