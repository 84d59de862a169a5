#include "Attention/GlanceMatch.h"

#include "Terminal/WindowMatching.h"

#include <QString>
#include <functional>

namespace velquist::GlanceMatch {

namespace {

// Some tier's verdict: the one id, none (stop), or no match (try the next tier).
enum class Verdict { one, ambiguous, none };

Verdict tier(const std::vector<Session>& candidates, const std::function<bool(const Session&)>& matches,
             std::optional<std::string>& id)
{
    const Session* found = nullptr;
    for (const auto& candidate : candidates) {
        if (!matches(candidate))
            continue;
        if (found)
            return Verdict::ambiguous;
        found = &candidate;
    }
    if (!found)
        return Verdict::none;
    id = found->id;
    return Verdict::one;
}

bool titleHolds(const QString& title, const std::string& needle)
{
    return title.contains(QString::fromStdString(needle), Qt::CaseInsensitive);
}

} // namespace

std::optional<std::string> seenSession(const std::vector<Session>& candidates, const Observation& observation)
{
    std::optional<std::string> id;
    if (candidates.empty())
        return std::nullopt;

    if (observation.selectedTTY) {
        tier(
            candidates,
            [&](const Session& s) {
                return s.terminal.tty && "/dev/" + *s.terminal.tty == *observation.selectedTTY;
            },
            id);
        return id;
    }

    if (observation.focusedTitle) {
        const QString title = QString::fromStdString(*observation.focusedTitle);
        const auto verdict = tier(
            candidates,
            [&](const Session& s) {
                if (s.aiTitle) {
                    const QString trimmed = QString::fromStdString(*s.aiTitle).trimmed();
                    if (trimmed.size() >= 3)
                        return title.contains(trimmed, Qt::CaseInsensitive);
                }
                const auto key = WindowMatching::sessionIDKey(s.id);
                return key && titleHolds(title, *key);
            },
            id);
        if (verdict != Verdict::none)
            return id;
    }

    const bool fewTabs = !observation.tabsUncounted && (!observation.tabCount || *observation.tabCount < 2);
    if (observation.focusedDocument && (!observation.tabCount || *observation.tabCount < 2)) {
        const auto verdict = tier(
            candidates, [&](const Session& s) { return s.cwd == *observation.focusedDocument; }, id);
        if (verdict != Verdict::none)
            return id;
    }

    if (observation.windowCount == 1 && fewTabs && candidates.size() == 1)
        return candidates.front().id;
    return std::nullopt;
}

} // namespace velquist::GlanceMatch
