#include "App/SecondLaunchListener.h"

#include "Shared/Log.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace velquist {

SecondLaunchListener::SecondLaunchListener(int socket, QObject* parent) : QObject(parent), m_socket(socket)
{
    if (m_socket < 0)
        return;
    // Non-blocking, so a connection that is gone by the time we accept never stalls the main thread.
    const int flags = ::fcntl(m_socket, F_GETFL);
    if (flags < 0 || ::fcntl(m_socket, F_SETFL, flags | O_NONBLOCK) != 0 || ::listen(m_socket, 8) != 0) {
        Log::debug("store", "later launches cannot reach this instance");
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_socket, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &SecondLaunchListener::acceptAll);
}

void SecondLaunchListener::acceptAll()
{
    for (;;) {
        const int connection = ::accept4(m_socket, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return;
        }
        // Abstract names have no file permissions: only the same user may ask.
        ucred peer{};
        socklen_t length = sizeof peer;
        const bool sameUser =
            ::getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 && peer.uid == ::getuid();
        ::close(connection);
        if (sameUser)
            Q_EMIT launched();
    }
}

} // namespace velquist
