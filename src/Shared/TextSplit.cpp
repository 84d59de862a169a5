#include "Shared/TextSplit.h"

#include <algorithm>

namespace velquist {

std::vector<std::string_view> splitNonEmpty(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto end = std::min(text.find(separator, start), text.size());
        if (end > start)
            parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

} // namespace velquist
