#pragma once

#include "Shared/Json.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velquist {

// One top-level member of a scanned object, as spans of the scanned text.
struct JsonMember
{
    std::string_view key;   // the key's string token, quotes included
    std::string_view value; // the value's text
    // Whether a strict parser accepts the key and the value (their strings are valid UTF-8, hold
    // no raw control characters, bad escapes or lone surrogates).
    bool clean = true;
};

// What a scan learned of a text that holds one JSON object.
struct JsonObjectScan
{
    std::string_view object;         // from "{" to its "}", without surrounding white space
    std::vector<JsonMember> members; // in the order they appear, duplicates included
    bool clean = true;               // every member is clean: a strict parser takes `object` as is

    // The last member named `key` (a strict parser keeps the last of duplicates), or none.
    const JsonMember* find(std::string_view key) const;
};

// A byte-level reader of JSON for the hook client's hot path: it checks the grammar, the nesting
// limit and the text of strings, and locates the top-level members, all in one pass and without
// building a tree, so a large payload can be relayed as the bytes it arrived as.
namespace JsonScan {

// Scans `text` as one JSON object (a leading UTF-8 byte order mark and white space around it are
// allowed). None when the text is not an object, breaks the grammar, or nests deeper than
// `depthLimit`. String contents that a strict parser refuses do not fail the scan; they mark
// their member unclean.
std::optional<JsonObjectScan> scanObject(std::string_view text, int depthLimit = Json::kMaxDepth);

// The value of a string token (quotes included); none for a token that is not a clean string.
std::optional<std::string> stringValue(std::string_view token);

// Whether `text` is well-formed UTF-8 (no overlong forms, surrogates or code points past U+10FFFF).
bool isUtf8(std::string_view text);

// The length of the well-formed UTF-8 sequence that `text` starts with; 0 when it starts with
// none (or is empty).
std::size_t utf8Length(std::string_view text);

} // namespace JsonScan
} // namespace velquist
