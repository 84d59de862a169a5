#pragma once

#include <string_view>
#include <vector>

namespace velquist {

// The non-empty parts of `text` between `separator`s, in order: "a::b:" gives "a" and "b". The
// parts view `text`, which must outlive them.
std::vector<std::string_view> splitNonEmpty(std::string_view text, char separator);

} // namespace velquist
