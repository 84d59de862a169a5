#pragma once

#include <string>
#include <string_view>

namespace velquist::UsageText {

// Each word (words are separated by white space) with its first letter in upper case and the rest
// in lower case: "max" and "MAX" give "Max", "weekly extra" gives "Weekly Extra". ASCII letters
// only change; other bytes are kept as they are.
std::string capitalizedWords(std::string_view text);

// A reply key in camel case: "five_hour" gives "fiveHour"; leading and trailing underscores stay,
// and a key without an underscore is taken unchanged.
std::string camelCaseKey(std::string_view key);

} // namespace velquist::UsageText
