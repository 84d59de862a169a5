#include "Shared/Log.h"

#include <cstdio>
#include <mutex>
#include <syslog.h>

namespace velquist::Log {

void system(std::string_view message)
{
    static std::once_flag opened;
    std::call_once(opened, [] { openlog("velquist", LOG_PID, LOG_USER); });
    syslog(LOG_NOTICE, "%.*s", static_cast<int>(message.size()), message.data());
#ifndef NDEBUG
    std::fprintf(stderr, "%.*s\n", static_cast<int>(message.size()), message.data());
#endif
}

void debug([[maybe_unused]] std::string_view area, [[maybe_unused]] std::string_view message)
{
#ifndef NDEBUG
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(area.size()), area.data(),
                 static_cast<int>(message.size()), message.data());
#endif
}

std::string shortId(std::string_view sessionId)
{
    return std::string(sessionId.substr(0, 8));
}

} // namespace velquist::Log
