#include "Platform/Linux/IpcCancel.h"

#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

namespace velquist {

IpcCancel::IpcCancel() : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

IpcCancel::~IpcCancel()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void IpcCancel::cancel()
{
    // Never read back: the descriptor stays readable for every later wait.
    m_cancelled.store(true);
    const std::uint64_t one = 1;
    if (m_fd >= 0) [[maybe_unused]]
        const ssize_t written = ::write(m_fd, &one, sizeof one);
}

} // namespace velquist
