#include "Shared/HookLock.h"

#include "Shared/FileUtil.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace velquist {

HookLock::HookLock(const HomePaths& paths, std::chrono::milliseconds wait)
{
    FileUtil::ensurePrivateDirectory(paths.support());
    // Never through a link: creating or locking a file elsewhere would guard nothing of ours.
    const int fd = ::open(paths.hooksLock().c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0)
        return;
    // Polled rather than blocking: a holder that hangs must not hang every agent's hook with it.
    const auto deadline = std::chrono::steady_clock::now() + wait;
    std::chrono::milliseconds pause{1};
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            m_fd = fd;
            return;
        }
        if (errno == EINTR)
            continue;
        const auto now = std::chrono::steady_clock::now();
        if (errno != EWOULDBLOCK || now >= deadline)
            break;
        const auto nap = std::min<std::chrono::nanoseconds>(pause, deadline - now);
        const timespec duration{static_cast<time_t>(nap.count() / 1000000000),
                                static_cast<long>(nap.count() % 1000000000)};
        ::nanosleep(&duration, nullptr);
        pause = std::min(pause * 2, std::chrono::milliseconds{50});
    }
    ::close(fd);
}

HookLock::~HookLock()
{
    if (m_fd >= 0) {
        ::flock(m_fd, LOCK_UN);
        ::close(m_fd);
    }
}

} // namespace velquist
