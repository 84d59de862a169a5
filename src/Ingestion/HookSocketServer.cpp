#include "Ingestion/HookSocketServer.h"

#include "Ingestion/HangupWatcher.h"
#include "Ingestion/PendingDecision.h"
#include "Ingestion/SocketConnection.h"
#include "Shared/Log.h"

#include <QSocketNotifier>
#include <QStringDecoder>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <system_error>
#include <unistd.h>

namespace velquist {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr auto kAcceptPause = 1000ms;

[[noreturn]] void fail(int error, const std::string& what)
{
    throw std::system_error(error, std::generic_category(), what);
}

sockaddr_un addressOf(const fs::path& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string& native = path.native();
    if (native.size() >= sizeof(address.sun_path))
        fail(ENAMETOOLONG, "socket path too long: " + native);
    std::memcpy(address.sun_path, native.c_str(), native.size() + 1);
    return address;
}

// Whether a process still listens on the socket file at `path`. A full backlog still means
// somebody is there.
bool someoneAnswers(const fs::path& path)
{
    const sockaddr_un address = addressOf(path);
    const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (probe < 0)
        return false;
    const int result = ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    const bool answers = result == 0 || errno == EAGAIN || errno == EINPROGRESS;
    ::close(probe);
    return answers;
}

// The first bytes of an unusable request, for a debug trace.
std::string preview(const std::string& bytes)
{
    const auto head =
        QByteArrayView(bytes.data(), static_cast<qsizetype>(std::min<std::size_t>(bytes.size(), 200)));
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(head);
    return decoder.hasError() ? std::string("<binary>") : text.toStdString();
}

} // namespace

HookSocketServer::HookSocketServer(Scheduler& scheduler, EventHandler onEvent, DecisionHandler onDecision,
                                   fs::path socketPath, HookServerLimits limits, QObject* parent)
    : QObject(parent), m_scheduler(scheduler), m_onEvent(std::move(onEvent)),
      m_onDecision(std::move(onDecision)), m_path(std::move(socketPath)), m_limits(limits),
      m_watcher(std::make_shared<HangupWatcher>())
{
    m_readers.setMaxThreadCount(static_cast<int>(std::max<std::size_t>(m_limits.maxReading, 1)));
}

HookSocketServer::~HookSocketServer()
{
    stop();
    for (auto& [id, reading] : m_reading)
        reading.connection->abort();
    // Readers post their results to this object; once they are done, what they posted dies with
    // it and the connections close with `m_reading`.
    m_readers.waitForDone();
}

void HookSocketServer::start()
{
    if (m_running)
        return;
    listen();
    m_running = true;
    m_restartDelay = 1000ms;
    m_restartFailing = false;
    m_healthTimer = ScheduledTimer(
        m_scheduler, m_scheduler.scheduleRepeating(kHealthInterval, [this] { checkSocketFile(); }));
}

void HookSocketServer::stop()
{
    m_running = false;
    m_healthTimer.cancel();
    m_restartTimer.cancel();
    m_resumeTimer.cancel();
    const bool ours = socketFileIsOurs();
    closeListener();
    if (ours)
        ::unlink(m_path.c_str());
    m_socketDevice = 0;
    m_socketInode = 0;
}

void HookSocketServer::listen()
{
    const fs::path folder = m_path.parent_path();
    std::error_code error;
    fs::create_directories(folder, error);
    if (error)
        throw std::system_error(error, "cannot create " + folder.string());
    ::chmod(folder.c_str(), 0700);

    // Never take the path from a running instance: only a file nothing answers on is stale.
    struct stat info
    {
    };
    if (::lstat(m_path.c_str(), &info) == 0) {
        if (S_ISSOCK(info.st_mode) && someoneAnswers(m_path))
            fail(EADDRINUSE, m_path.string() + " is served by another running instance");
        ::unlink(m_path.c_str());
    }

    const sockaddr_un address = addressOf(m_path);
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listener < 0)
        fail(errno, "cannot create a socket");
    if (::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        const int saved = errno;
        ::close(listener);
        fail(saved, "cannot bind " + m_path.string());
    }
    // Before listening, so no other user's process can ever connect.
    ::chmod(m_path.c_str(), 0700);
    if (::listen(listener, SOMAXCONN) != 0 || ::lstat(m_path.c_str(), &info) != 0) {
        const int saved = errno;
        ::close(listener);
        ::unlink(m_path.c_str());
        fail(saved, "cannot listen on " + m_path.string());
    }
    m_socketDevice = info.st_dev;
    m_socketInode = info.st_ino;
    m_listener = listener;
    m_notifier = new QSocketNotifier(listener, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &HookSocketServer::acceptPending);
}

void HookSocketServer::closeListener()
{
    delete m_notifier;
    m_notifier = nullptr;
    if (m_listener >= 0)
        ::close(m_listener);
    m_listener = -1;
}

bool HookSocketServer::socketFileIsOurs() const
{
    struct stat info
    {
    };
    return m_socketInode != 0 && ::lstat(m_path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode) &&
           info.st_dev == m_socketDevice && info.st_ino == m_socketInode;
}

void HookSocketServer::acceptPending()
{
    while (m_listener >= 0) {
        const int descriptor = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (descriptor < 0) {
            const int error = errno;
            switch (error) {
            case EAGAIN:
                return;
            case EINTR:
            case ECONNABORTED:
            case EPROTO:
                continue;
            case EMFILE:
            case ENFILE:
            case ENOBUFS:
            case ENOMEM:
                // The connection stays queued; without a pause the notifier would fire at once again.
                Log::debug("hook", std::string("cannot accept for now: ") + std::strerror(error));
                m_notifier->setEnabled(false);
                m_resumeTimer = ScheduledTimer(m_scheduler, m_scheduler.schedule(kAcceptPause, [this] {
                    if (m_notifier)
                        m_notifier->setEnabled(true);
                }));
                return;
            default:
                listenerFailed(std::string("accept: ") + std::strerror(error));
                return;
            }
        }
        if (m_reading.size() >= m_limits.maxReading) {
            ::close(descriptor);
            Log::debug("hook", "too many connections being read; one closed");
            continue;
        }
        beginReading(descriptor);
    }
}

void HookSocketServer::beginReading(int descriptor)
{
    auto connection = std::make_shared<SocketConnection>(descriptor);
    const std::uint64_t id = m_nextReading++;
    m_reading.emplace(
        id,
        Reading{connection, ScheduledTimer(m_scheduler, m_scheduler.schedule(m_limits.readDeadline,
                                                                             [this, id] { expire(id); }))});
    const std::size_t maxBytes = m_limits.maxRequestBytes;
    m_readers.start([this, id, connection, maxBytes] {
        std::string bytes;
        const auto result = connection->readToEnd(bytes, maxBytes);
        std::optional<HookEvent> event;
        if (result == SocketConnection::ReadResult::tooLarge) {
            Log::debug("hook", "request over " + std::to_string(maxBytes) + " bytes; closed");
        } else if (result != SocketConnection::ReadResult::aborted && !bytes.empty()) {
            // Bytes gathered before a read error are tried like a complete request.
            event = HookEvent::parse(bytes);
            if (!event)
                Log::debug("hook", "unparsed payload " + preview(bytes));
        }
        if (!event)
            connection->close();
        QMetaObject::invokeMethod(
            this, [this, id, event = std::move(event)]() mutable { finishReading(id, std::move(event)); },
            Qt::QueuedConnection);
    });
}

void HookSocketServer::expire(std::uint64_t id)
{
    const auto found = m_reading.find(id);
    if (found == m_reading.end())
        return;
    Log::debug("hook",
               "request not ended within " + std::to_string(m_limits.readDeadline.count()) + " ms; closed");
    // The reader wakes, closes the connection and reports back.
    found->second.connection->abort();
}

void HookSocketServer::finishReading(std::uint64_t id, std::optional<HookEvent> event)
{
    const auto found = m_reading.find(id);
    if (found == m_reading.end())
        return;
    auto connection = std::move(found->second.connection);
    m_reading.erase(found);
    if (!event)
        return;
    // The deadline may have struck after the last byte arrived: that connection is spoilt.
    if (connection->wasAborted()) {
        connection->close();
        return;
    }
    if (event->name == HookEvent::Name::permissionRequest && event->decisionID) {
        auto decision =
            std::make_shared<PendingDecision>(std::move(*event), std::move(connection), m_watcher);
        if (m_onDecision)
            m_onDecision(std::move(decision));
        return;
    }
    connection->close();
    if (m_onEvent)
        m_onEvent(std::move(*event));
}

void HookSocketServer::checkSocketFile()
{
    if (m_listener >= 0 && !socketFileIsOurs())
        listenerFailed("the socket file " + m_path.string() + " was removed or replaced");
}

void HookSocketServer::listenerFailed(const std::string& reason)
{
    Log::system("Velquist: hook listener failed: " + reason + "; listening again shortly");
    const bool ours = socketFileIsOurs();
    closeListener();
    if (ours)
        ::unlink(m_path.c_str());
    m_socketDevice = 0;
    m_socketInode = 0;
    scheduleRestart();
}

void HookSocketServer::scheduleRestart()
{
    m_restartTimer = ScheduledTimer(m_scheduler, m_scheduler.schedule(m_restartDelay, [this] { restart(); }));
    m_restartDelay = std::min(m_restartDelay * 2, kMaxRestartDelay);
}

void HookSocketServer::restart()
{
    if (!m_running || m_listener >= 0)
        return;
    try {
        listen();
    } catch (const std::system_error& error) {
        // Logged once per run of failures; the tries go on with growing pauses.
        if (!m_restartFailing)
            Log::system(std::string("Velquist: hook listener could not be re-created: ") + error.what());
        m_restartFailing = true;
        scheduleRestart();
        return;
    }
    m_restartDelay = 1000ms;
    m_restartFailing = false;
    Log::system("Velquist: hook listener re-created at " + m_path.string());
}

} // namespace velquist
