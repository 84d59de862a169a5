#include "support/FakeSway.h"

#include <cstring>
#include <poll.h>
#include <unistd.h>

namespace velquist::test {

namespace {

// The protocol's message types that the fake knows.
constexpr std::uint32_t subscribeType = 2;

// A message as the protocol frames it, written here from the protocol rather than taken from the
// client under test: magic, length and type, then the payload.
std::string framed(std::uint32_t type, const std::string& payload)
{
    std::string bytes("i3-ipc");
    const auto length = static_cast<std::uint32_t>(payload.size());
    bytes.append(reinterpret_cast<const char*>(&length), sizeof length);
    bytes.append(reinterpret_cast<const char*>(&type), sizeof type);
    return bytes + payload;
}

} // namespace

const char* const FakeSway::recordedTree = R"({
  "id": 1, "type": "root", "name": "root", "focus": [3, 2],
  "nodes": [
    {"id": 2, "type": "output", "name": "__i3", "focus": [20], "nodes": [
      {"id": 20, "type": "workspace", "name": "__i3_scratch", "num": -1, "nodes": [], "focus": [21],
       "floating_nodes": [{"id": 21, "type": "floating_con", "pid": 500, "app_id": "pavucontrol",
                           "name": "Volume", "visible": false, "focused": false, "nodes": [],
                           "rect": {"x": 0, "y": 0, "width": 400, "height": 300}}]}]},
    {"id": 3, "type": "output", "name": "HEADLESS-1", "focus": [11, 10],
     "rect": {"x": 0, "y": 0, "width": 1920, "height": 1080}, "nodes": [
      {"id": 10, "type": "workspace", "name": "1", "num": 1, "focus": [6, 5, 4], "floating_nodes": [],
       "nodes": [
        {"id": 4, "type": "con", "pid": 101, "app_id": "foot", "name": "first", "visible": false,
         "focused": false, "fullscreen_mode": 0, "nodes": [], "rect": {"x": 0, "y": 0, "width": 640, "height": 1080}},
        {"id": 5, "type": "con", "pid": 102, "app_id": null, "name": "second", "visible": false,
         "window_properties": {"class": "XTerm", "instance": "xterm", "title": "second"},
         "focused": false, "nodes": [], "rect": {"x": 640, "y": 0, "width": 640, "height": 1080}},
        {"id": 6, "type": "con", "pid": 101, "app_id": "foot", "name": "third", "visible": false,
         "focused": false, "nodes": [], "rect": {"x": 1280, "y": 0, "width": 640, "height": 1080}}]},
      {"id": 11, "type": "workspace", "name": "2", "num": 2, "focus": [7, 8],
       "nodes": [
        {"id": 7, "type": "con", "pid": 103, "app_id": "foot", "name": "~/work: 3f2a9c1e claude",
         "visible": true, "focused": true, "fullscreen_mode": 1, "nodes": [],
         "rect": {"x": 0, "y": 0, "width": 1920, "height": 1080}}],
       "floating_nodes": [
        {"id": 8, "type": "floating_con", "pid": 104, "app_id": "imv", "name": null, "visible": true,
         "focused": false, "fullscreen_mode": 0, "nodes": [],
         "rect": {"x": 100, "y": 100, "width": 300, "height": 200}}]}]}]
})";

FakeSway::FakeSway(const std::filesystem::path& folder)
    : m_server(folder / "sway-ipc.sock", [this](int fd) { return serve(fd); })
{
}

FakeSway::~FakeSway()
{
    // A held request must not keep the server's thread from ending.
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_released.notify_all();
    if (m_subscription >= 0)
        ::close(m_subscription);
}

void FakeSway::reply(std::uint32_t type, std::string payload)
{
    std::lock_guard lock(m_mutex);
    m_replies[type] = std::move(payload);
}

std::vector<std::pair<std::uint32_t, std::string>> FakeSway::requests() const
{
    std::lock_guard lock(m_mutex);
    return m_requests;
}

std::string FakeSway::subscribedTo() const
{
    std::lock_guard lock(m_mutex);
    return m_subscribedTo;
}

void FakeSway::send(const std::string& bytes)
{
    FakeUnixServer::writeAll(m_subscription, bytes);
}

void FakeSway::hold()
{
    std::lock_guard lock(m_mutex);
    m_holding = true;
}

void FakeSway::release()
{
    {
        std::lock_guard lock(m_mutex);
        m_holding = false;
        ++m_releases;
    }
    m_released.notify_all();
}

bool FakeSway::holdsRequest() const
{
    std::lock_guard lock(m_mutex);
    return m_held >= 0;
}

bool FakeSway::holdsWaitingClient() const
{
    std::lock_guard lock(m_mutex);
    if (m_held < 0)
        return false;
    // The client sends nothing after its request: anything readable is its end of file.
    pollfd entry{m_held, POLLIN | POLLRDHUP, 0};
    return ::poll(&entry, 1, 0) == 0;
}

bool FakeSway::serve(int fd)
{
    char header[14];
    if (!FakeUnixServer::readExactly(fd, header, sizeof header))
        return false;
    std::uint32_t length = 0;
    std::uint32_t type = 0;
    std::memcpy(&length, header + 6, 4);
    std::memcpy(&type, header + 10, 4);
    std::string payload(length, '\0');
    if (!FakeUnixServer::readExactly(fd, payload.data(), length))
        return false;
    if (type == subscribeType) {
        {
            std::lock_guard lock(m_mutex);
            m_subscribedTo = payload;
        }
        FakeUnixServer::writeAll(fd, framed(type, R"({"success": true})"));
        m_subscription = fd;
        return true;
    }
    std::string answer;
    {
        std::unique_lock lock(m_mutex);
        m_requests.emplace_back(type, payload);
        m_held = fd;
        // A release lets this request go even when the test holds the next one at once.
        const std::uint64_t releases = m_releases;
        m_released.wait(lock, [&] { return !m_holding || m_releases != releases || m_closing; });
        m_held = -1;
        answer = m_replies[type];
    }
    FakeUnixServer::writeAll(fd, garbled ? "i3-ipX" + std::string(8, '\0') : framed(type, answer));
    return false;
}

} // namespace velquist::test
