#include "quorvel/StandardStreams.h"

#include <cerrno>
#include <poll.h>
#include <sys/stat.h>
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
    std::size_t expected = 64 * 1024;
    struct stat info{};
    if (::fstat(STDIN_FILENO, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
        expected = static_cast<std::size_t>(info.st_size) + 1;
    input.bytes.resize(std::min(expected, keepAtMost));
    std::size_t used = 0;
    char discard[65536];
    for (;;) {
        if (used == input.bytes.size() && used < keepAtMost)
            input.bytes.resize(std::min(input.bytes.size() * 2, keepAtMost));
        const bool keeping = used < input.bytes.size();
        char* target = keeping ? input.bytes.data() + used : discard;
        const std::size_t room = keeping ? input.bytes.size() - used : sizeof discard;
        const ssize_t n = ::read(STDIN_FILENO, target, room);
        if (n > 0) {
            if (keeping)
                used += static_cast<std::size_t>(n);
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
    input.bytes.resize(used);
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
