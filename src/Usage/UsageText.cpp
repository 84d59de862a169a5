#include "Usage/UsageText.h"

#include <cctype>
#include <vector>

namespace velquist::UsageText {

std::string capitalizedWords(std::string_view text)
{
    std::string result(text);
    bool wordStart = true;
    for (char& c : result) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isspace(byte)) {
            wordStart = true;
            continue;
        }
        if (byte < 0x80)
            c = static_cast<char>(wordStart ? std::toupper(byte) : std::tolower(byte));
        wordStart = false;
    }
    return result;
}

std::string camelCaseKey(std::string_view key)
{
    if (key.find('_') == std::string_view::npos)
        return std::string(key);
    const auto first = key.find_first_not_of('_');
    if (first == std::string_view::npos)
        return std::string(key);
    const auto last = key.find_last_not_of('_');
    std::string result(key.substr(0, first));
    std::string_view middle = key.substr(first, last - first + 1);
    bool firstWord = true;
    while (!middle.empty()) {
        const auto end = middle.find('_');
        const std::string_view word = middle.substr(0, end);
        for (std::size_t index = 0; index < word.size(); ++index) {
            const auto byte = static_cast<unsigned char>(word[index]);
            const bool upper = !firstWord && index == 0;
            result += static_cast<char>(upper ? std::toupper(byte) : std::tolower(byte));
        }
        if (!word.empty())
            firstWord = false;
        if (end == std::string_view::npos)
            break;
        middle.remove_prefix(end + 1);
    }
    result += key.substr(last + 1);
    return result;
}

} // namespace velquist::UsageText
