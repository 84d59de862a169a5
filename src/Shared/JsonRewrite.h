#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace velquist::JsonRewrite {

// The text of `after`, an edit of `before`, which was parsed from `previous` (a file that holds one
// JSON object). What the edit left alone keeps its bytes: members whose values did not change are
// copied from `previous` as they stand (so numbers keep every digit, strings their escapes), a
// compact file stays compact, an indented one keeps its indentation, and a byte order mark, CR LF
// line ends and the white space around the object are kept. Only the members that changed are
// written anew, in the file's own style.
std::string rewrite(std::string_view previous, const nlohmann::ordered_json& before,
                    const nlohmann::ordered_json& after);

// A whole object written as a new file: two-space indentation and a final line feed.
std::string fresh(const nlohmann::ordered_json& value);

} // namespace velquist::JsonRewrite
