#include "App/InstanceLock.h"

#include "Shared/AppPaths.h"
#include "Shared/FileUtil.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace velquist {

InstanceLock::InstanceLock(std::filesystem::path file)
{
    if (auto made = FileUtil::ensurePrivateDirectory(file.parent_path()); !made) {
        m_error = made.error;
        return;
    }
    m_fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_fd < 0) {
        m_error = "could not open " + file.string() + ": " + std::strerror(errno);
        return;
    }
    int result;
    do {
        result = ::flock(m_fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0) {
        m_state = State::held;
        return;
    }
    const int error = errno;
    ::close(m_fd);
    m_fd = -1;
    if (error == EWOULDBLOCK) {
        m_state = State::heldElsewhere;
    } else {
        m_error = "could not lock " + file.string() + ": " + std::strerror(error);
    }
}

InstanceLock::~InstanceLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::filesystem::path InstanceLock::defaultFile()
{
    return AppPaths::appSupport() / "velquist.lock";
}

} // namespace velquist
