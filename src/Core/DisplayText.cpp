#include "Core/DisplayText.h"

#include <QTextBoundaryFinder>
#include <algorithm>

namespace velquist::DisplayText {

namespace {

bool isContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Embeddings, overrides and isolates: they reorder what follows them on screen.
bool isDirectionControl(char32_t c)
{
    return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

// Skips an escape sequence starting at `i` (the ESC or the C1 CSI), returning the index after it.
qsizetype skipEscape(const QString& s, qsizetype i)
{
    const qsizetype n = s.size();
    const bool csi = s[i].unicode() == 0x9B || (i + 1 < n && s[i + 1] == u'[');
    const bool osc = s[i].unicode() == 0x9D || (i + 1 < n && s[i + 1] == u']');
    i += (s[i].unicode() == 0x1B && i + 1 < n) ? 2 : 1;
    if (csi) {
        // Parameters and intermediates, then one final byte.
        while (i < n && s[i].unicode() >= 0x20 && s[i].unicode() <= 0x3F)
            ++i;
        while (i < n && s[i].unicode() >= 0x20 && s[i].unicode() <= 0x2F)
            ++i;
        if (i < n && s[i].unicode() >= 0x40 && s[i].unicode() <= 0x7E)
            ++i;
    } else if (osc) {
        // Up to BEL or the string terminator ESC "\".
        while (i < n) {
            if (s[i].unicode() == 0x07)
                return i + 1;
            if (s[i].unicode() == 0x1B && i + 1 < n && s[i + 1] == u'\\')
                return i + 2;
            if (s[i].unicode() == 0x9C)
                return i + 1;
            ++i;
        }
    }
    return i;
}

QString cleaned(const QString& s, Breaks breaks)
{
    QString out;
    out.reserve(s.size());
    int marks = 0;
    const qsizetype n = s.size();
    for (qsizetype i = 0; i < n;) {
        const char16_t u = s[i].unicode();
        if (u == 0x1B || u == 0x9B || u == 0x9D) {
            i = skipEscape(s, i);
            continue;
        }
        if (u == u'\r' || u == u'\n') {
            const bool pair = u == u'\r' && i + 1 < n && s[i + 1] == u'\n';
            out.append(breaks == Breaks::keep ? QChar(u'\n') : QChar(u' '));
            marks = 0;
            i += pair ? 2 : 1;
            continue;
        }
        char32_t c = u;
        qsizetype width = 1;
        if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(s[i + 1].unicode())) {
            c = QChar::surrogateToUcs4(u, s[i + 1].unicode());
            width = 2;
        }
        const bool control = (c < 0x20 && c != u'\t') || (c >= 0x7F && c <= 0x9F);
        const bool mark = QChar::isMark(c);
        const bool keep = !control && !isDirectionControl(c) && !(QChar::isSurrogate(c) && width == 1) &&
                          (!mark || marks < kMaxMarksPerCharacter);
        marks = mark ? marks + 1 : 0;
        if (keep)
            out.append(s.mid(i, width));
        i += width;
    }
    return out;
}

} // namespace

std::vector<std::string_view> lines(std::string_view text)
{
    return lines(text, static_cast<std::size_t>(-1));
}

std::vector<std::string_view> lines(std::string_view text, std::size_t maxLines, bool* cut)
{
    std::vector<std::string_view> result;
    if (cut)
        *cut = false;
    if (maxLines == 0) {
        if (cut)
            *cut = true;
        return result;
    }
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\n' && c != '\r')
            continue;
        result.push_back(text.substr(start, i - start));
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
        if (result.size() == maxLines) {
            if (cut)
                *cut = true;
            return result;
        }
    }
    result.push_back(text.substr(start));
    return result;
}

QString clean(std::string_view text, std::size_t maxCharacters, Breaks breaks)
{
    // Only a prefix can be shown: a character takes at most 4 bytes plus its kept marks, and
    // escape sequences are skipped, so this much of the input always covers what survives.
    const std::size_t budget = std::max<std::size_t>(maxCharacters, 1) * 64 + 64;
    bool cut = false;
    std::size_t length = text.size();
    if (length > budget) {
        length = budget;
        while (length > 0 && isContinuationByte(text[length]))
            --length;
        cut = true;
    }
    const QString source = QString::fromUtf8(text.data(), static_cast<qsizetype>(length));
    QString out = cleaned(source, breaks);

    // Keep the first maxCharacters - 1 characters when more than maxCharacters are left, so the
    // ellipsis takes the last place.
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, out);
    std::size_t count = 0;
    qsizetype keptEnd = 0;
    qsizetype position = 0;
    while (position < out.size()) {
        const qsizetype next = finder.toNextBoundary();
        if (next < 0)
            break;
        ++count;
        position = next;
        if (count < maxCharacters)
            keptEnd = position;
        if (count > maxCharacters) {
            cut = true;
            break;
        }
    }
    if (!cut)
        return out;
    if (maxCharacters == 0)
        return QString();
    out.truncate(keptEnd);
    out.append(QChar(0x2026));
    return out;
}

} // namespace velquist::DisplayText
