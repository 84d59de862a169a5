#include "Core/SessionFile.h"

#include "Shared/FileUtil.h"
#include "Shared/Json.h"
#include "Shared/Log.h"

#include <QThreadPool>

namespace velquist {

namespace {

std::string encodeSessions(const std::vector<Session>& sessions)
{
    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    for (const Session& session : sessions)
        array.push_back(session.toJson());
    return Json::dump(array);
}

} // namespace

SessionFile::SessionFile(std::filesystem::path path, QThreadPool& pool)
    : m_state(std::make_shared<State>(std::move(path))), m_pool(pool)
{
}

SessionFile::~SessionFile()
{
    flush();
}

const std::filesystem::path& SessionFile::path() const
{
    return m_state->file.path();
}

std::vector<Session> SessionFile::load()
{
    std::vector<Session> sessions;
    const FileRead read = FileUtil::read(path(), 64 * 1024 * 1024);
    if (read.status == FileRead::Status::missing)
        return sessions;
    const auto parsed = read.ok() ? Json::parse(read.bytes) : std::nullopt;
    if (!parsed || !parsed->is_array()) {
        // Keep the user's file: the next write must not go over what we could not read.
        std::lock_guard lock(m_state->mutex);
        m_state->file.keepOriginal();
        Log::debug("store", "sessions file unreadable; it will be kept aside");
        return sessions;
    }
    for (const auto& record : *parsed) {
        auto decoded = Session::fromJson(record);
        if (!decoded) {
            // The next write would drop it for good: the file that holds it goes aside first.
            Log::debug("store", "skipping a saved session: " + decoded.error.describe());
            std::lock_guard lock(m_state->mutex);
            m_state->file.keepOriginal();
            continue;
        }
        sessions.push_back(std::move(*decoded.value));
    }
    return sessions;
}

void SessionFile::writePending(State& state, Pending pending)
{
    const std::string bytes = encodeSessions(pending.sessions);
    std::lock_guard lock(state.mutex);
    if (pending.generation > state.written) {
        state.file.write(bytes);
        state.written = pending.generation;
    }
}

void SessionFile::write(const std::vector<Session>& sessions)
{
    const std::uint64_t generation = ++m_generation;
    {
        // A pending write is older than this one and would be dropped anyway.
        std::lock_guard lock(m_state->mutex);
        m_state->pending.reset();
    }
    writePending(*m_state, Pending{generation, sessions});
}

void SessionFile::writeInBackground(std::vector<Session> sessions)
{
    {
        std::lock_guard lock(m_state->mutex);
        m_state->pending = Pending{++m_generation, std::move(sessions)};
    }
    m_pool.start([state = m_state] {
        std::optional<Pending> pending;
        {
            std::lock_guard lock(state->mutex);
            if (!state->pending)
                return;
            pending.swap(state->pending);
            ++state->writing;
        }
        writePending(*state, std::move(*pending));
        std::lock_guard lock(state->mutex);
        if (--state->writing == 0)
            state->idle.notify_all();
    });
}

void SessionFile::flush()
{
    std::optional<Pending> pending;
    {
        std::lock_guard lock(m_state->mutex);
        pending.swap(m_state->pending);
    }
    if (pending)
        writePending(*m_state, std::move(*pending));
    std::unique_lock lock(m_state->mutex);
    m_state->idle.wait(lock, [this] { return m_state->writing == 0; });
}

void SessionFile::discard()
{
    std::unique_lock lock(m_state->mutex);
    m_state->pending.reset();
    m_state->idle.wait(lock, [this] { return m_state->writing == 0; });
}

} // namespace velquist
