#include "quorvel/StandardStreams.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <poll.h>
#include <unistd.h>

namespace velquist::StandardStreams {

namespace {

// A descriptor inherited in non-blocking mode answers EAGAIN; wait until it is ready instead.
bool waitFor(int fd, short events)
{
    pollfd entry{fd, events, 0};
    while (::poll(&entry, 1, -1) < 0) {
        if (errno != EINTR)
            return false;
    }
    return true;
}

} // namespace

HookInput readInput(std::size_t keepAtMost)
{
    HookInput input;
    // Agents write the hook object through a pipe; all but the largest fit the first buffer. At
    // this size the allocator maps it by itself, out of the heap: only the pages read into are
    // ever touched, growing it remaps rather than copies, and the heap's small blocks stay
    // together instead of on both sides of it.
    std::size_t capacity = std::min<std::size_t>(1024 * 1024, keepAtMost);
    input.data.reset(static_cast<char*>(std::malloc(capacity ? capacity : 1)));
    if (!input.data)
        capacity = 0;
    // Only input past `keepAtMost` is read into this; made when first needed, as a 64 KiB frame on
    // the stack would cost the common run page faults of its own.
    std::unique_ptr<char[]> discard;
    constexpr std::size_t kDiscardBytes = 65536;
    for (;;) {
        if (input.size == capacity && capacity < keepAtMost) {
            const std::size_t larger = std::min(capacity * 2, keepAtMost);
            if (char* grown = static_cast<char*>(std::realloc(input.data.get(), larger))) {
                input.data.release();
                input.data.reset(grown);
                capacity = larger;
            }
        }
        const bool keeping = input.size < capacity;
        if (!keeping && !discard)
            discard = std::make_unique<char[]>(kDiscardBytes);
        char* target = keeping ? input.data.get() + input.size : discard.get();
        const std::size_t room = keeping ? capacity - input.size : kDiscardBytes;
        const ssize_t n = ::read(STDIN_FILENO, target, room);
        if (n > 0) {
            if (keeping)
                input.size += static_cast<std::size_t>(n);
            else
                input.complete = false;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && waitFor(STDIN_FILENO, POLLIN))
            continue;
        break;
    }
    return input;
}

void writeOutput(std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(STDOUT_FILENO, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && waitFor(STDOUT_FILENO, POLLOUT))
            continue;
        return;
    }
}

} // namespace velquist::StandardStreams
