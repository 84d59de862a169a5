#include "Core/PlanMarkdown.h"

#include "Core/DisplayText.h"

#include <QString>
#include <QTextBoundaryFinder>

namespace velquist::PlanMarkdown {

namespace {

// Blanks: the space separators and the horizontal tab (no line breaks).
bool isBlank(char32_t c)
{
    return c == u'\t' || QChar::category(c) == QChar::Separator_Space;
}

// The code point at `i` of `s` (a surrogate pair read as one).
char32_t codePointAt(const QString& s, qsizetype i)
{
    const char16_t u = s[i].unicode();
    if (QChar::isHighSurrogate(u) && i + 1 < s.size() && QChar::isLowSurrogate(s[i + 1].unicode()))
        return QChar::surrogateToUcs4(u, s[i + 1].unicode());
    return u;
}

QString trimmed(const QString& s)
{
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && isBlank(s[begin].unicode()))
        ++begin;
    while (end > begin && isBlank(s[end - 1].unicode()))
        --end;
    return s.mid(begin, end - begin);
}

// Walks a text character by character (grapheme clusters), so a "#" or a digit that carries a
// combining mark is not taken for the bare sign.
class Characters
{
  public:
    explicit Characters(const QString& text) : m_text(text), m_finder(QTextBoundaryFinder::Grapheme, text) {}

    // The next character, or an empty string at the end; `position()` is then after it.
    QString next()
    {
        const qsizetype start = m_position;
        const qsizetype end = m_finder.toNextBoundary();
        if (end < 0 || start >= m_text.size())
            return QString();
        m_position = end;
        return m_text.mid(start, end - start);
    }
    qsizetype position() const { return m_position; }

  private:
    const QString& m_text;
    QTextBoundaryFinder m_finder;
    qsizetype m_position = 0;
};

std::string utf8(const QString& s)
{
    return s.toUtf8().toStdString();
}

std::optional<PlanBlock> heading(const QString& t)
{
    Characters characters(t);
    int count = 0;
    qsizetype restStart = 0;
    for (;;) {
        const qsizetype before = characters.position();
        if (characters.next() != u"#") {
            restStart = before;
            break;
        }
        ++count;
    }
    if (count < 1 || count > 6)
        return std::nullopt;
    const QString rest = t.mid(restStart);
    if (!rest.startsWith(u' '))
        return std::nullopt;
    const QString text = trimmed(rest);
    if (text.isEmpty())
        return std::nullopt;
    return PlanBlock{PlanBlock::Heading{count, utf8(text)}};
}

std::optional<PlanBlock> listItem(const QString& t)
{
    Characters characters(t);
    const QString first = characters.next();
    if (first == u"-" || first == u"*") {
        const QString rest = t.mid(characters.position());
        if (!rest.startsWith(u' '))
            return std::nullopt;
        return PlanBlock{PlanBlock::ListItem{PlanListMarker::bullet(), utf8(trimmed(rest))}};
    }
    qsizetype runEnd = 0;
    for (QString c = first; !c.isEmpty(); c = characters.next()) {
        if (!QChar::isNumber(codePointAt(c, 0)))
            break;
        runEnd = characters.position();
    }
    if (runEnd == 0)
        return std::nullopt;
    const QString rest = t.mid(runEnd);
    if (!rest.startsWith(u". "))
        return std::nullopt;
    return PlanBlock{
        PlanBlock::ListItem{PlanListMarker::number(utf8(t.left(runEnd))), utf8(trimmed(rest.mid(1)))}};
}

} // namespace

std::vector<PlanBlock> blocks(std::string_view text)
{
    std::vector<PlanBlock> result;
    std::vector<std::string> paragraph;
    std::optional<std::vector<std::string>> code;

    const auto flushParagraph = [&] {
        if (!paragraph.empty()) {
            result.push_back(PlanBlock{PlanBlock::Paragraph{std::move(paragraph)}});
            paragraph.clear();
        }
    };

    for (const std::string_view line : DisplayText::lines(text)) {
        const QString whole = QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
        const QString t = trimmed(whole);
        if (t.startsWith(u"```")) {
            if (code) {
                if (!code->empty())
                    result.push_back(PlanBlock{PlanBlock::Code{std::move(*code)}});
                code.reset();
            } else {
                flushParagraph();
                code.emplace();
            }
            continue;
        }
        if (code) {
            code->emplace_back(line);
            continue;
        }
        if (t.isEmpty()) {
            flushParagraph();
            continue;
        }
        std::optional<PlanBlock> block = heading(t);
        if (!block)
            block = listItem(t);
        if (block) {
            flushParagraph();
            result.push_back(std::move(*block));
            continue;
        }
        paragraph.emplace_back(line);
    }
    if (code && !code->empty())
        result.push_back(PlanBlock{PlanBlock::Code{std::move(*code)}});
    flushParagraph();
    return result;
}

} // namespace velquist::PlanMarkdown
