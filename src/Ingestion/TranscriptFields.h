#pragma once

#include "Ingestion/TranscriptItem.h"

#include <cstdint>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

// The reading rules every transcript line parser shares: what it means for a key to hold a
// string, an integer, an object or a list of objects, and when a text counts as blank.
namespace velquist::TranscriptFields {

// The line's top-level object: none for an empty line, text that is not JSON (or nests too
// deep), or JSON that is not an object.
std::optional<nlohmann::json> object(std::string_view line);

// The object under `key`, else nullptr.
const nlohmann::json* objectAt(const nlohmann::json& object, std::string_view key);
// The list under `key` when every element is an object (an empty list too), else nullptr.
const nlohmann::json* objectList(const nlohmann::json& object, std::string_view key);
// The string under `key`.
std::optional<std::string> string(const nlohmann::json& object, std::string_view key);
// The number under `key` when its value is integral and fits; booleans are not numbers.
std::optional<std::int64_t> integer(const nlohmann::json& object, std::string_view key);
// The string under `key` when it is not blank, unchanged.
std::optional<std::string> nonBlankString(const nlohmann::json& object, std::string_view key);

// `text` without the white space and line breaks (Unicode ones too) at either end.
std::string_view trimmed(std::string_view text);
inline bool isBlank(std::string_view text)
{
    return trimmed(text).empty();
}

// Usage from the first of `keys` in `counts` that holds an integer, when that is 1 or more, with
// the record's "model" when it is a string.
std::optional<TranscriptItem> usage(const nlohmann::json& counts,
                                    std::initializer_list<std::string_view> keys,
                                    const nlohmann::json& record);

// A tool call with its activity text; `input` is the call's input object, or nullptr for none.
TranscriptItem toolUse(std::string name, const nlohmann::json* input);

} // namespace velquist::TranscriptFields
