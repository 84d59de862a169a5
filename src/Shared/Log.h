#pragma once

#include <string>
#include <string_view>

namespace velquist::Log {

// One line to the system log (syslog, ident "velquist"). Reserved for the few messages a user may
// need to read after the fact; everything else is a debug trace.
void system(std::string_view message);

// "<area>: <message>" on standard error, in debug builds only; release builds drop it.
void debug(std::string_view area, std::string_view message);

// A session id cut to its first eight characters, as traces show it.
std::string shortId(std::string_view sessionId);

} // namespace velquist::Log
