#include "Core/ToolText.h"

#include <QString>
#include <QTextBoundaryFinder>
#include <algorithm>

namespace velquist::ToolText {

namespace {

bool isContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The byte length of a prefix of `text` of about `bytes`, backed off to a code-point start.
std::size_t prefixLength(std::string_view text, std::size_t bytes)
{
    if (bytes >= text.size())
        return text.size();
    while (bytes > 0 && isContinuationByte(text[bytes]))
        --bytes;
    return bytes;
}

} // namespace

std::string truncated(std::string_view text, std::size_t maxCharacters, std::size_t keptCharacters,
                      std::string_view marker)
{
    // Every character takes at least one byte.
    if (text.size() <= maxCharacters)
        return std::string(text);
    if (maxCharacters == 0)
        return std::string(marker);
    keptCharacters = std::min(keptCharacters, maxCharacters);

    // A boundary found strictly inside a prefix is a boundary of the whole text too (it depends only
    // on what precedes it and the code point after it), so a growing prefix is enough to decide.
    std::size_t window = std::max<std::size_t>(256, (maxCharacters + 1) * 8);
    for (;;) {
        const std::size_t length = prefixLength(text, window);
        const bool whole = length == text.size();
        const QString prefix = QString::fromUtf8(text.data(), static_cast<qsizetype>(length));
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, prefix);
        qsizetype keptEnd = 0;
        std::size_t count = 0;
        qsizetype position = 0;
        while (position < prefix.size()) {
            const qsizetype next = finder.toNextBoundary();
            if (next < 0)
                break;
            position = next;
            ++count;
            if (count == keptCharacters)
                keptEnd = position;
            if (count == maxCharacters)
                break;
        }
        if (count == maxCharacters && position < prefix.size()) {
            // More follows the last allowed character.
            std::string result = prefix.left(keptEnd).toUtf8().toStdString();
            result.append(marker);
            return result;
        }
        if (whole)
            return std::string(text);
        window *= 2;
    }
}

std::string oneLine(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            result.push_back(' ');
            ++i;
        } else if (c == '\n') {
            result.push_back(' ');
        } else {
            result.push_back(c);
        }
    }
    return result;
}

std::string activityLine(std::string_view text)
{
    return truncated(oneLine(text), 64, 63, "\u2026");
}

std::int64_t lineCount(std::string_view text)
{
    return static_cast<std::int64_t>(std::count(text.begin(), text.end(), '\n')) + 1;
}

std::string fileName(std::string_view path)
{
    std::size_t end = path.size();
    while (end > 1 && path[end - 1] == '/')
        --end;
    if (end == 1 && path[0] == '/')
        return "/";
    const std::string_view trimmed = path.substr(0, end);
    const std::size_t slash = trimmed.rfind('/');
    return std::string(slash == std::string_view::npos ? trimmed : trimmed.substr(slash + 1));
}

bool isValidUtf8(std::string_view text)
{
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        std::uint32_t codePoint = 0;
        if ((c & 0xE0) == 0xC0) {
            length = 2;
            codePoint = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            length = 3;
            codePoint = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            length = 4;
            codePoint = c & 0x07;
        } else {
            return false;
        }
        if (i + length > n)
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        static constexpr std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (codePoint < smallest[length] || codePoint > 0x10FFFF ||
            (codePoint >= 0xD800 && codePoint <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

} // namespace velquist::ToolText
