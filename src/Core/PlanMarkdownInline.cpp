#include "Core/PlanMarkdown.h"

#include <QString>

namespace velquist::PlanMarkdown {

namespace {

constexpr int kMaxNesting = 8;
// Looking for closing marks is bounded: past this many steps the rest of the line stays literal,
// so a line of thousands of unmatched marks costs no more than a few milliseconds.
constexpr long kMaxScanSteps = 200000;

struct Style
{
    bool strong = false;
    bool emphasis = false;
    bool strikethrough = false;
    std::optional<std::string> link;
};

bool isAsciiPunctuation(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x80 && std::ispunct(static_cast<unsigned char>(u));
}

class InlineParser
{
  public:
    explicit InlineParser(const QString& text) : m_text(text) {}

    std::vector<PlanInlineRun> run()
    {
        parse(0, m_text.size(), Style{}, 0);
        flush();
        return std::move(m_runs);
    }

  private:
    void parse(qsizetype begin, qsizetype end, const Style& style, int depth)
    {
        qsizetype i = begin;
        while (i < end) {
            const QChar c = m_text[i];
            if (c == u'\\' && i + 1 < end && isAsciiPunctuation(m_text[i + 1])) {
                append(m_text[i + 1], style, false);
                i += 2;
                continue;
            }
            if (c == u'`') {
                if (const qsizetype after = codeSpan(i, end, style); after > i) {
                    i = after;
                    continue;
                }
            }
            if (depth < kMaxNesting) {
                if (const qsizetype after = delimited(i, end, style, depth); after > i) {
                    i = after;
                    continue;
                }
                if (c == u'[') {
                    if (const qsizetype after = link(i, end, style, depth); after > i) {
                        i = after;
                        continue;
                    }
                }
            }
            append(c, style, false);
            ++i;
        }
    }

    // A run of n backticks up to the next run of exactly n: its content, verbatim, as code.
    qsizetype codeSpan(qsizetype i, qsizetype end, const Style& style)
    {
        qsizetype n = 0;
        while (i + n < end && m_text[i + n] == u'`')
            ++n;
        for (qsizetype j = i + n; j < end && spend();) {
            if (m_text[j] != u'`') {
                ++j;
                continue;
            }
            qsizetype m = 0;
            while (j + m < end && m_text[j + m] == u'`')
                ++m;
            if (m == n) {
                QString content = m_text.mid(i + n, j - i - n);
                if (content.size() > 2 && content.startsWith(u' ') && content.endsWith(u' '))
                    content = content.mid(1, content.size() - 2);
                for (const QChar ch : content)
                    append(ch, style, true);
                return j + m;
            }
            j += m;
        }
        // No closing run: the backticks are literal.
        for (qsizetype k = 0; k < n; ++k)
            append(u'`', style, false);
        return i + n;
    }

    // "**x**", "__x__" (strong), "~~x~~" (strikethrough), "*x*", "_x_" (emphasis).
    qsizetype delimited(qsizetype i, qsizetype end, const Style& style, int depth)
    {
        const QChar c = m_text[i];
        if (c != u'*' && c != u'_' && c != u'~')
            return i;
        const bool doubled = i + 1 < end && m_text[i + 1] == c;
        if (c == u'~' && !doubled)
            return i;
        // An underscore inside a word (snake_case) is not markup.
        if (c == u'_' && i > 0 && m_text[i - 1].isLetterOrNumber())
            return i;
        const qsizetype width = doubled ? 2 : 1;
        const qsizetype open = i + width;
        if (open >= end || m_text[open].isSpace())
            return i;
        for (qsizetype j = open + 1; j + width <= end && spend(); ++j) {
            if (m_text[j] != c || (doubled && m_text[j + 1] != c) || m_text[j - 1].isSpace())
                continue;
            // A single marker must not be half of a doubled one.
            if (width == 1 && j + 1 < end && m_text[j + 1] == c)
                continue;
            if (c == u'_' && j + width < end && m_text[j + width].isLetterOrNumber())
                continue;
            Style inner = style;
            if (c == u'~')
                inner.strikethrough = true;
            else if (doubled)
                inner.strong = true;
            else
                inner.emphasis = true;
            parse(open, j, inner, depth + 1);
            return j + width;
        }
        return i;
    }

    // "[text](target)" with a target without blanks.
    qsizetype link(qsizetype i, qsizetype end, const Style& style, int depth)
    {
        int level = 0;
        qsizetype close = -1;
        for (qsizetype j = i; j < end && spend(); ++j) {
            if (m_text[j] == u'\\') {
                ++j;
                continue;
            }
            if (m_text[j] == u'[')
                ++level;
            else if (m_text[j] == u']' && --level == 0) {
                close = j;
                break;
            }
        }
        if (close < 0 || close + 1 >= end || m_text[close + 1] != u'(')
            return i;
        const qsizetype targetStart = close + 2;
        qsizetype targetEnd = targetStart;
        while (targetEnd < end && spend() && m_text[targetEnd] != u')' && !m_text[targetEnd].isSpace())
            ++targetEnd;
        if (targetEnd >= end || m_text[targetEnd] != u')')
            return i;
        Style inner = style;
        inner.link = m_text.mid(targetStart, targetEnd - targetStart).toUtf8().toStdString();
        parse(i + 1, close, inner, depth + 1);
        return targetEnd + 1;
    }

    bool spend() { return ++m_steps <= kMaxScanSteps; }

    void append(QChar c, const Style& style, bool code)
    {
        if (!m_pending.isEmpty() &&
            (m_style.strong != style.strong || m_style.emphasis != style.emphasis ||
             m_style.strikethrough != style.strikethrough || m_style.link != style.link || m_code != code))
            flush();
        if (m_pending.isEmpty()) {
            m_style = style;
            m_code = code;
        }
        m_pending.append(c);
    }

    void flush()
    {
        if (m_pending.isEmpty())
            return;
        m_runs.push_back(PlanInlineRun{m_pending.toUtf8().toStdString(), m_style.strong, m_style.emphasis,
                                       m_style.strikethrough, m_code, m_style.link});
        m_pending.clear();
    }

    const QString& m_text;
    std::vector<PlanInlineRun> m_runs;
    QString m_pending;
    Style m_style;
    bool m_code = false;
    long m_steps = 0;
};

} // namespace

std::vector<PlanInlineRun> inlineRuns(std::string_view text)
{
    const QString source = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    return InlineParser(source).run();
}

} // namespace velquist::PlanMarkdown
