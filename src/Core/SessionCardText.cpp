#include "Core/SessionCardText.h"

#include "Core/DisplayText.h"
#include "Core/ToolText.h"

#include <QTextBoundaryFinder>
#include <string_view>

namespace velquist::SessionCardText {

namespace {

constexpr std::size_t kTitleCharacters = 120;
constexpr std::size_t kSeedCharacters = 60;
constexpr std::size_t kSeedTitleCharacters = 32;

bool isBlankOrTab(QChar c)
{
    return c == u' ' || c == u'\t';
}

// The first `count` characters (grapheme clusters) of `text`.
QString firstCharacters(const QString& text, std::size_t count, bool* cut = nullptr)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    std::size_t seen = 0;
    qsizetype end = 0;
    while (seen < count) {
        const qsizetype next = finder.toNextBoundary();
        if (next < 0)
            break;
        end = next;
        ++seen;
    }
    if (cut)
        *cut = end < text.size();
    return text.left(end);
}

} // namespace

QString title(const std::string& cwd)
{
    if (cwd == "unknown")
        return QStringLiteral("No folder");
    return DisplayText::clean(ToolText::fileName(cwd), kTitleCharacters);
}

StatusLine statusLine(const SessionStatus& status)
{
    if (const auto* working = status.as<SessionStatus::Working>())
        return {working->activity ? QString::fromStdString(*working->activity)
                                  : QStringLiteral("Working\u2026"),
                Tone::quiet};
    if (const auto* permission = status.as<SessionStatus::NeedsPermission>())
        return {QString::fromStdString(permission->request.summary), Tone::permission};
    if (const auto* waiting = status.as<SessionStatus::WaitingForInput>()) {
        if (waiting->inquiry.questions.empty())
            return {QStringLiteral("Waiting for your input"), Tone::waiting};
        return {QString::fromStdString(waiting->inquiry.questions.front().question), Tone::waiting};
    }
    if (const auto* done = status.as<SessionStatus::Done>())
        return {done->summary ? QString::fromStdString(*done->summary) : QStringLiteral("Done"), Tone::quiet};
    if (status.is<SessionStatus::Idle>())
        return {QStringLiteral("Idle"), Tone::quiet};
    return {QStringLiteral("Ended"), Tone::quiet};
}

Content contentFor(const Session& session)
{
    const SessionStatus& status = session.status;
    if (const auto* permission = status.as<SessionStatus::NeedsPermission>()) {
        if (permission->request.tool && permission->request.tool->as<ToolDetail::Plan>())
            return Content::plan;
        return Content::permission;
    }
    if (const auto* waiting = status.as<SessionStatus::WaitingForInput>()) {
        const AgentInquiry& inquiry = waiting->inquiry;
        if (!inquiry.questions.empty() && inquiry.isAnswerable() && session.capabilities().canAnswer)
            return Content::questionForm;
        return Content::jumpToAnswer;
    }
    if (status.is<SessionStatus::Done>() && !session.doneSeenAt)
        return Content::markRead;
    return Content::none;
}

std::optional<std::string> promptSeed(const std::optional<std::string>& firstPrompt)
{
    if (!firstPrompt)
        return std::nullopt;
    // The first line that is not empty (a line of blanks counts as a line).
    std::string_view first;
    std::string_view rest = *firstPrompt;
    while (!rest.empty()) {
        const std::size_t feed = rest.find('\n');
        const std::string_view piece = rest.substr(0, feed);
        if (!piece.empty()) {
            first = piece;
            break;
        }
        if (feed == std::string_view::npos)
            break;
        rest.remove_prefix(feed + 1);
    }
    QString line = QString::fromUtf8(first.data(), qsizetype(first.size()));
    qsizetype begin = 0;
    qsizetype end = line.size();
    while (begin < end && isBlankOrTab(line[begin]))
        ++begin;
    while (end > begin && isBlankOrTab(line[end - 1]))
        --end;
    line = line.mid(begin, end - begin);
    if (line.isEmpty())
        return std::nullopt;
    return firstCharacters(line, kSeedCharacters).toStdString();
}

QString promptMenuTitle(const std::string& seed)
{
    bool cut = false;
    QString shown =
        firstCharacters(DisplayText::clean(seed, kSeedCharacters + 1), kSeedTitleCharacters, &cut);
    if (cut)
        shown.append(QChar(0x2026));
    return QStringLiteral("Hide sessions starting with \u201C") + shown + QStringLiteral("\u201D");
}

QString noTerminalText()
{
    return QStringLiteral("Its terminal could not be found");
}

} // namespace velquist::SessionCardText
