#include "Ingestion/HookSocketServer.h"

#include "Ingestion/HangupWatcher.h"
#include "Ingestion/HookSocketReader.h"
#include "Ingestion/PendingDecision.h"
#include "Ingestion/SocketConnection.h"
#include "Shared/Log.h"

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

HookSocketServer::HookSocketServer(Scheduler& scheduler, const Clock& clock, EventHandler onEvent,
                                   DecisionHandler onDecision, fs::path socketPath, HookServerLimits limits,
                                   QObject* parent)
    : QObject(parent), m_scheduler(scheduler), m_onEvent(std::move(onEvent)),
      m_onDecision(std::move(onDecision)), m_path(std::move(socketPath)), m_limits(limits),
      m_watcher(std::make_shared<HangupWatcher>()), m_queue(limits.queue)
{
    // The reader's callbacks run on its thread: they only post to this object or start a parse.
    HookSocketReader::Callbacks callbacks;
    callbacks.complete = [this](int descriptor, std::string bytes) { parse(descriptor, std::move(bytes)); };
    callbacks.listenerFailed = [this](int error) {
        QMetaObject::invokeMethod(
            this, [this, error] { listenerFailed(std::string("accept: ") + std::strerror(error)); },
            Qt::QueuedConnection);
    };
    m_reader = std::make_unique<HookSocketReader>(m_limits.maxRequestBytes,
                                                  std::max<std::size_t>(m_limits.maxReading, 1),
                                                  m_limits.readDeadline, clock, callbacks);
}

HookSocketServer::~HookSocketServer()
{
    stop();
    // Closes the connections still being read; parses under way post to this object, and what
    // they posted dies with it (their connections close with it).
    m_reader.reset();
    // Parses not yet started are dropped rather than waited for: their connections close.
    m_parsers.clear();
    m_parsers.waitForDone();
    m_queue.clear();
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
    releaseListener();
}

void HookSocketServer::releaseListener()
{
    // The file is removed only while it is still ours; another instance may have taken the path.
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
    if (!m_reader->isRunning())
        fail(EMFILE, "cannot start the hook reader thread");
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
    m_reader->setListener(listener);
}

void HookSocketServer::closeListener()
{
    m_reader->setListener(-1);
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

std::size_t HookSocketServer::readingCount() const
{
    return m_reader->readingCount() + static_cast<std::size_t>(std::max(0, m_parsing.load()));
}

void HookSocketServer::closeExpired()
{
    m_reader->closeExpired();
}

// A request that may wait for a decision goes ahead of the ordinary ones waiting to be parsed;
// the look for its marker is cheap next to parsing, and a false match only gains a place.
void HookSocketServer::parse(int descriptor, std::string bytes)
{
    auto connection = std::make_shared<SocketConnection>(descriptor);
    const std::uint64_t id = m_nextId++;
    if (m_parsing.fetch_add(1) >= kMaxParsing) {
        hand(id, std::move(connection), bytes);
        m_parsing.fetch_sub(1);
        return;
    }
    const int priority = bytes.find("\"decisionId\"") != std::string::npos ? 1 : 0;
    m_parsers.start(
        [this, id, connection = std::move(connection), bytes = std::move(bytes)]() mutable {
            hand(id, std::move(connection), bytes);
            m_parsing.fetch_sub(1);
        },
        priority);
}

// On the reader thread or a worker: an ordinary event's connection closes here, as soon as it is
// read and queued, so a backlog holds no descriptors; only a request that waits for its decision
// stays open.
void HookSocketServer::hand(std::uint64_t id, std::shared_ptr<SocketConnection> connection,
                            const std::string& bytes)
{
    std::optional<HookEvent> event = HookEvent::parse(bytes);
    bool wake = false;
    if (!event) {
        Log::debug("hook", "unparsed payload " + preview(bytes));
        connection->close();
    } else if (event->name == HookEvent::Name::permissionRequest && event->decisionID) {
        wake = m_queue.pushDecision(id, std::move(*event), std::move(connection));
    } else {
        wake = m_queue.push(id, std::move(*event));
        connection->close();
    }
    if (wake)
        QMetaObject::invokeMethod(
            this, [this] { deliverWaiting(); }, Qt::QueuedConnection);
}

void HookSocketServer::deliverWaiting()
{
    HookIntakeQueue::Batch batch = m_queue.take(kEventsPerTurn);
    for (auto& delivery : batch.deliveries) {
        if (delivery.connection) {
            auto decision = std::make_shared<PendingDecision>(std::move(delivery.event),
                                                              std::move(delivery.connection), m_watcher);
            if (m_onDecision)
                m_onDecision(std::move(decision));
        } else if (m_onEvent) {
            m_onEvent(std::move(delivery.event));
        }
    }
    if (batch.more)
        QMetaObject::invokeMethod(
            this, [this] { deliverWaiting(); }, Qt::QueuedConnection);
}

void HookSocketServer::checkSocketFile()
{
    if (m_listener >= 0 && !socketFileIsOurs())
        listenerFailed("the socket file " + m_path.string() + " was removed or replaced");
}

void HookSocketServer::listenerFailed(const std::string& reason)
{
    Log::system("Velquist: hook listener failed: " + reason + "; listening again shortly");
    releaseListener();
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
