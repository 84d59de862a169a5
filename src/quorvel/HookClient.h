#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velquist::HookClient {

// The most of standard input relayed as the payload (512 KiB).
inline constexpr std::size_t kMaxPayloadBytes = 524288;
// Past this much, standard input is drained without being kept: the event is then unreadable.
inline constexpr std::size_t kMaxInputBytes = 64 * 1024 * 1024;
// How long one read may wait for the decision: the user may be away from the desk.
inline constexpr std::chrono::seconds kDecideTimeout{14400};
// An event that is only reported must not hold the agent on a busy or stuck application.
inline constexpr std::chrono::milliseconds kEventSendTimeout{500};
// A permission request may wait a little longer for the application to take it.
inline constexpr std::chrono::milliseconds kDecideSendTimeout{2000};

// The argument after the first one equal to `name`, whatever it is; `fallback` when `name` is
// absent or last.
std::string flag(const std::vector<std::string_view>& arguments, std::string_view name,
                 std::string_view fallback);

// Relays one hook event (standard input) to the application and, for the event it decides on,
// prints the decision or the fallback. Never fails towards the agent.
void run(int argc, char** argv);

} // namespace velquist::HookClient
