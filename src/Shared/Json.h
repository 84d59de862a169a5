#pragma once

#include <cstdint>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace velquist::Json {

// Nesting depth allowed for JSON from outside before anything walks or re-serialises it.
inline constexpr int kMaxDepth = 256;

// Whether the arrays and objects of `text` nest no deeper than `limit`. A single pass over the
// bytes, with no tree built, so it is safe on hostile input.
bool withinDepth(std::string_view text, int limit = kMaxDepth);

// Parses outside JSON: none when it is malformed, holds invalid UTF-8, or nests too deep.
std::optional<nlohmann::json> parse(std::string_view text, int depthLimit = kMaxDepth);
// The same, keeping the key order of objects (for files a user owns).
std::optional<nlohmann::ordered_json> parseOrdered(std::string_view text, int depthLimit = kMaxDepth);

// Serialises without ever throwing: invalid UTF-8 in strings is replaced.
std::string dump(const nlohmann::json& value, int indent = -1);
std::string dump(const nlohmann::ordered_json& value, int indent = -1);

// Typed lookups on an object that answer none for a missing key, a wrong type or a non-object.
std::optional<std::string> string(const nlohmann::json& object, std::string_view key);
// The first key of `keys` that holds a string (for inputs written in snake and camel case).
std::optional<std::string> firstString(const nlohmann::json& object,
                                       std::initializer_list<std::string_view> keys);
std::optional<std::int64_t> integer(const nlohmann::json& object, std::string_view key);
std::optional<double> number(const nlohmann::json& object, std::string_view key);
std::optional<bool> boolean(const nlohmann::json& object, std::string_view key);
// The member under `key` when `object` is an object that has it, else nullptr.
const nlohmann::json* member(const nlohmann::json& object, std::string_view key);

} // namespace velquist::Json
