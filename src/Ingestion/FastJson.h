#pragma once

#include "Shared/Json.h"

#include <nlohmann/json.hpp>
#include <optional>
#include <simdjson.h>
#include <string_view>

namespace velquist::FastJson {

// `Json::parse` for hot paths (transcript lines): a vectorised parser validates and reads the text,
// then the tree is built from it. Same answers as `Json::parse`: none for malformed text, invalid
// UTF-8 or nesting deeper than `depthLimit`. Numbers the fast parser cannot hold (integers past 64
// bits) fall back to the ordinary parser. Thread-safe (one parser per thread).
std::optional<nlohmann::json> parse(std::string_view text, int depthLimit = Json::kMaxDepth);

// The same text accepted and refused, read in place with no tree built: the document lives in
// this thread's parser and stays valid until the next `document` or `parse` on the same thread.
// A number past 64 bits is held as the nearest double, as the ordinary parser holds it.
std::optional<simdjson::dom::element> document(std::string_view text, int depthLimit = Json::kMaxDepth);

// `element` as a tree. The element is at most the depth limit deep, so the recursion is bounded.
nlohmann::json tree(simdjson::dom::element element);

} // namespace velquist::FastJson
