#include "Usage/ClaudeUsageModels.h"

#include <sstream>

namespace velquist {

std::optional<QuotaWindow> QuotaData::mostUsed() const
{
    if (windows.empty())
        return std::nullopt;
    const QuotaWindow* most = &windows.front();
    for (const QuotaWindow& window : windows) {
        if (window.usagePercent > most->usagePercent)
            most = &window;
    }
    return *most;
}

std::optional<QuotaWindow> QuotaData::window(const std::string& id) const
{
    for (const QuotaWindow& window : windows) {
        if (window.id == id)
            return window;
    }
    return std::nullopt;
}

std::string UsageError::description() const
{
    switch (kind) {
    case Kind::rateLimited: {
        if (!retryAfter)
            return "rateLimited";
        std::ostringstream text;
        text << "rateLimited(" << *retryAfter << ")";
        return text.str();
    }
    case Kind::http:
        return "http(" + std::to_string(status) + ")";
    case Kind::notAuthenticated:
        return "notAuthenticated";
    case Kind::missingProfileScope:
        return "missingProfileScope";
    case Kind::transport:
        break;
    }
    return "transport";
}

} // namespace velquist
