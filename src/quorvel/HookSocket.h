#pragma once

#include <chrono>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace velquist::HookSocket {

// Connects a Unix stream socket to `path`, which may use all of sun_path. The send time-out is
// set before connecting, so a full listen queue of a stuck application holds the caller no
// longer than `sendTimeout`; it then bounds every write as well (pass the same value to
// `writeAll`). -1 when there is no connection.
int connectTo(std::string_view path, std::chrono::milliseconds sendTimeout);

// Writes every byte of `pieces`, in order, going on after partial writes and interrupted calls;
// false on an error or when the send time-out passes without progress.
bool writeAll(int fd, std::initializer_list<std::string_view> pieces, std::chrono::milliseconds sendTimeout);

// Reads until the peer closes. None when a read fails: a reset, an error, or `idleTimeout`
// passing without data. A read interrupted by a signal (the terminal was suspended and resumed)
// is made again with the time that remains.
std::optional<std::string> readToEnd(int fd, std::chrono::seconds idleTimeout);

} // namespace velquist::HookSocket
