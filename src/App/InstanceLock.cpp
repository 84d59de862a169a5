#include "App/InstanceLock.h"

#include "Shared/FileUtil.h"
#include "Shared/Log.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <utility>

namespace velquist {

namespace {

// The address of an abstract name and its length.
std::pair<sockaddr_un, socklen_t> abstractAddress(const std::string& name)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // A leading NUL puts the name in the abstract namespace.
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    return {address, static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size())};
}

// Binds the abstract name; -1 with errno set when it cannot.
int bindAbstract(const std::string& name)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const auto [address, length] = abstractAddress(name);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    // Listening at once lets a later launch read who holds the name even before the running
    // instance has set up its listener.
    if (::listen(fd, 8) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

// A connection to the abstract name, or -1.
int connectAbstract(const std::string& name)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const auto [address, length] = abstractAddress(name);
    int result;
    do {
        result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), length);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The user id the listening end of a connection runs as.
std::optional<uid_t> peerUID(int connection)
{
    ucred peer{};
    socklen_t length = sizeof peer;
    if (::getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0)
        return std::nullopt;
    return peer.uid;
}

std::string describeHolder(std::optional<uid_t> holder)
{
    return holder ? "user id " + std::to_string(*holder) : "an unknown process";
}

} // namespace

std::string InstanceLock::abstractName(const std::filesystem::path& file)
{
    // FNV-1a: stable across builds, so every copy of the program finds the same name.
    std::uint64_t hash = 14695981039346656037ull;
    for (const unsigned char c : file.lexically_normal().string()) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return "velquist-instance-" + std::to_string(::getuid()) + "-" + hex;
}

InstanceLock::InstanceLock(std::filesystem::path file)
{
    const std::string name = abstractName(file);
    m_nameFd = bindAbstract(name);
    const bool nameTaken = m_nameFd < 0 && errno == EADDRINUSE;
    lockFile(file);
    if (!nameTaken || m_state == State::heldElsewhere)
        return;
    // The lock file is free (or cannot be had): the name's holder may be our own instance whose
    // support folder was deleted, or another user's process squatting on the name.
    std::optional<uid_t> holder;
    if (const int connection = connectAbstract(name); connection >= 0) {
        holder = peerUID(connection);
        ::close(connection);
    }
    m_state = stateWithNameTaken(m_state, holder, ::getuid());
    if (m_state == State::heldElsewhere) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
        m_error.clear();
        return;
    }
    Log::system("Velquist: the single-instance name is held by " + describeHolder(holder) +
                ", not by this user; relying on the lock file alone, and later launches cannot "
                "reach this instance.");
}

InstanceLock::State InstanceLock::stateWithNameTaken(State lockState, std::optional<uid_t> holder, uid_t self)
{
    if (lockState == State::heldElsewhere || holder == self)
        return State::heldElsewhere;
    return lockState;
}

void InstanceLock::lockFile(const std::filesystem::path& file)
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
    if (m_nameFd >= 0)
        ::close(m_nameFd);
}

bool InstanceLock::tellHolder(const std::filesystem::path& file)
{
    // The connection is the whole message; the holder checks who made it, and the sender who
    // answered: nothing is sent, and another user's process is not counted as told.
    const int fd = connectAbstract(abstractName(file));
    if (fd < 0)
        return false;
    const std::optional<uid_t> holder = peerUID(fd);
    ::close(fd);
    if (holder != ::getuid()) {
        Log::system("Velquist: the single-instance name is held by " + describeHolder(holder) +
                    ", not by this user; the running instance was not told.");
        return false;
    }
    return true;
}

std::filesystem::path InstanceLock::fileIn(const HomePaths& paths)
{
    return paths.support() / "velquist.lock";
}

} // namespace velquist
