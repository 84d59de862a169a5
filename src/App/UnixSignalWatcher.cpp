#include "App/UnixSignalWatcher.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace velquist {

namespace {

int g_pipe[2] = {-1, -1};

void forwardSignal(int signal)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t ignored = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

} // namespace

UnixSignalWatcher::UnixSignalWatcher(std::initializer_list<int> signals, QObject* parent) : QObject(parent)
{
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &UnixSignalWatcher::drain);
    for (const int signal : signals) {
        struct sigaction action
        {
        };
        action.sa_handler = forwardSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(signal, &action, nullptr);
    }
}

UnixSignalWatcher::~UnixSignalWatcher() = default;

void UnixSignalWatcher::drain()
{
    unsigned char byte = 0;
    while (::read(g_pipe[0], &byte, 1) == 1)
        Q_EMIT received(byte);
}

} // namespace velquist
