#include "Usage/ClaudeUsageModels.h"

namespace velquist {

std::optional<std::string> QuotaWindow::timeRemaining(Clock::WallTime now) const
{
    if (!resetsAt)
        return std::nullopt;
    // duration_cast truncates toward zero, as the whole seconds must.
    const long long s = std::chrono::duration_cast<std::chrono::seconds>(*resetsAt - now).count();
    if (s < 1)
        return std::nullopt;
    if (s >= 86'400)
        return std::to_string(s / 86'400) + "d " + std::to_string((s % 86'400) / 3'600) + "h";
    if (s >= 3'600)
        return std::to_string(s / 3'600) + "h " + std::to_string((s / 60) % 60) + "m";
    return std::to_string(std::max(s / 60, 1LL)) + "m";
}

std::optional<QuotaWindow> QuotaData::mostUsed() const
{
    if (windows.empty())
        return std::nullopt;
    const QuotaWindow* best = &windows.front();
    for (const QuotaWindow& candidate : windows)
        if (candidate.usagePercent > best->usagePercent)
            best = &candidate;
    return *best;
}

std::optional<QuotaWindow> QuotaData::window(const std::string& id) const
{
    for (const QuotaWindow& candidate : windows)
        if (candidate.id == id)
            return candidate;
    return std::nullopt;
}

bool UsageError::operator==(const UsageError& other) const
{
    if (kind != other.kind)
        return false;
    if (kind == Kind::rateLimited)
        return retryAfter == other.retryAfter;
    if (kind == Kind::http)
        return status == other.status;
    return true;
}

} // namespace velquist
