#pragma once

#include "Ingestion/TranscriptItem.h"

#include <cstdint>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <optional>
#include <simdjson.h>
#include <string>
#include <string_view>

// The reading rules every transcript line parser shares: what it means for a key to hold a
// string, an integer, an object or a list of objects, and when a text counts as blank. Lines are
// read in place: only the fields a parser asks for are ever copied out of the parsed document.
namespace velquist::TranscriptFields {

using Value = simdjson::dom::element;

// The line's top-level object: none for an empty line, text that is not JSON (malformed, invalid
// UTF-8 or nesting too deep), or JSON that is not an object. It lives in this thread's parser and
// stays valid until the next call on the same thread.
std::optional<Value> object(std::string_view line);

// The member under `key` of an object; the last one where the key is repeated, as a tree parser
// keeps it. None for a missing key or a value that is not an object.
std::optional<Value> member(Value object, std::string_view key);
// The object under `key`.
std::optional<Value> objectAt(Value object, std::string_view key);
// The list under `key` when every element is an object (an empty list too).
std::optional<simdjson::dom::array> objectList(Value object, std::string_view key);
// The string under `key`, in place (valid as long as the document).
std::optional<std::string_view> text(Value object, std::string_view key);
// The string under `key`, copied.
std::optional<std::string> string(Value object, std::string_view key);
// The number under `key` when its value is integral and fits; booleans are not numbers.
std::optional<std::int64_t> integer(Value object, std::string_view key);
std::optional<bool> boolean(Value object, std::string_view key);
// The string under `key` when it is not blank, unchanged.
std::optional<std::string> nonBlankString(Value object, std::string_view key);

// `text` without the white space and line breaks (Unicode ones too) at either end.
std::string_view trimmed(std::string_view text);
inline bool isBlank(std::string_view text)
{
    return trimmed(text).empty();
}

// Usage from the first of `keys` in `counts` that holds an integer, when that is 1 or more, with
// the record's "model" when it is a string.
std::optional<TranscriptItem> usage(Value counts, std::initializer_list<std::string_view> keys, Value record);

// A tool call with its activity text; `input` is the call's input object, or none.
TranscriptItem toolUse(std::string name, std::optional<Value> input);
TranscriptItem toolUse(std::string name, const nlohmann::json* input);

// `value` as a tree, for the few parts (a tool call's input) read by code that takes one.
nlohmann::json tree(Value value);

} // namespace velquist::TranscriptFields
