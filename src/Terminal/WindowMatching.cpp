#include "Terminal/WindowMatching.h"

#include "Shared/TextSplit.h"

#include <QString>

namespace velquist::WindowMatching {

namespace {

QString lower(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toLower();
}

} // namespace

std::optional<std::string> sessionIDKey(std::string_view id)
{
    const auto parts = splitNonEmpty(id, ':');
    const std::string_view last = parts.empty() ? id : parts.back();
    const auto blocks = splitNonEmpty(last, '-');
    const std::string_view first = blocks.empty() ? last : blocks.front();
    // Counted in characters, not bytes.
    if (QString::fromUtf8(first.data(), static_cast<qsizetype>(first.size())).size() < 8)
        return std::nullopt;
    return std::string(first);
}

std::string folderName(std::string_view cwd)
{
    if (cwd == "unknown")
        return "No folder";
    const auto parts = splitNonEmpty(cwd, '/');
    if (parts.empty())
        return cwd.empty() ? std::string() : "/";
    return std::string(parts.back());
}

std::optional<std::size_t> uniqueTitleMatch(const std::vector<std::optional<std::string>>& titles,
                                            std::string_view needle)
{
    const QString trimmed = QString::fromUtf8(needle.data(), static_cast<qsizetype>(needle.size())).trimmed();
    if (trimmed.size() < 3)
        return std::nullopt;
    std::optional<std::size_t> found;
    for (std::size_t i = 0; i < titles.size(); ++i) {
        if (titles[i] && QString::fromStdString(*titles[i]).contains(trimmed, Qt::CaseInsensitive)) {
            if (found)
                return std::nullopt;
            found = i;
        }
    }
    return found;
}

std::optional<int> cwdMatchScore(const std::optional<std::string>& surface, std::string_view cwd)
{
    if (!surface)
        return std::nullopt;
    const auto surfaceParts = splitNonEmpty(*surface, '/');
    const auto cwdParts = splitNonEmpty(cwd, '/');
    if (surfaceParts == cwdParts)
        return exactMatch;
    const auto& shorter = surfaceParts.size() < cwdParts.size() ? surfaceParts : cwdParts;
    const auto& longer = surfaceParts.size() < cwdParts.size() ? cwdParts : surfaceParts;
    if (!std::equal(shorter.begin(), shorter.end(), longer.begin()))
        return std::nullopt;
    return static_cast<int>(shorter.size());
}

std::optional<std::size_t> chooseTab(const std::vector<std::optional<int>>& scores,
                                     std::optional<std::size_t> originalIndex)
{
    std::optional<std::size_t> best;
    if (originalIndex && *originalIndex < scores.size() && scores[*originalIndex])
        best = originalIndex;
    for (std::size_t i = 0; i < scores.size(); ++i) {
        if (i == originalIndex || !scores[i])
            continue;
        if (!best || *scores[i] > *scores[*best])
            best = i;
    }
    return best;
}

std::optional<std::size_t> uniqueWindowMatch(const std::vector<std::optional<std::string>>& titles,
                                             const std::vector<std::string>& candidates)
{
    for (const auto& candidate : candidates) {
        const QString needle = lower(candidate);
        std::vector<std::size_t> matches;
        for (std::size_t i = 0; i < titles.size(); ++i) {
            if (titles[i] && lower(*titles[i]).contains(needle))
                matches.push_back(i);
        }
        if (matches.size() == 1)
            return matches.front();
    }
    return std::nullopt;
}

} // namespace velquist::WindowMatching
