#pragma once

#include "Adapters/EngineProfile.h"
#include "Adapters/HookAdapter.h"
#include "Ingestion/HangupWatcher.h"
#include "Ingestion/PendingDecision.h"
#include "Ingestion/SocketConnection.h"

#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace velquist::test {

// An engine profile with the traits the test gives and replies of plain JSON that show what the
// adapter asked for: {"allow":true,"input":...,"permissions":...} or {"deny":message}.
class FakeProfile final : public EngineProfile
{
  public:
    explicit FakeProfile(Traits traits) : EngineProfile(traits) {}

    bool failEncoding = false;
    TranscriptLineParser parser;
    // Where healing writes the hooks; none until the test sets one.
    HookInstallTarget target;

    HookInstallTarget installTarget() const override { return target; }
    TranscriptLineParser transcriptLineParser() const override { return parser; }
    std::string encodeAllow(const std::optional<nlohmann::json>& input,
                            const std::optional<nlohmann::json>& permissions) const override
    {
        if (failEncoding)
            return {};
        nlohmann::json reply{{"allow", true}};
        if (input)
            reply["input"] = *input;
        if (permissions)
            reply["permissions"] = *permissions;
        return reply.dump();
    }
    std::string encodeDeny(const std::string& message) const override
    {
        return failEncoding ? std::string() : nlohmann::json{{"deny", message}}.dump();
    }
};

// The hook client's end of a held request: a socket pair whose client side has half-closed, as
// the real client does after writing its request.
class WaitingClient
{
  public:
    WaitingClient(HookEvent event, std::shared_ptr<HangupWatcher> watcher)
    {
        int fds[2];
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds);
        ::shutdown(fds[1], SHUT_WR);
        m_fd = fds[1];
        decision = std::make_shared<PendingDecision>(
            std::move(event), std::make_shared<SocketConnection>(fds[0]), std::move(watcher));
    }
    ~WaitingClient() { hangUp(); }
    WaitingClient(const WaitingClient&) = delete;
    WaitingClient& operator=(const WaitingClient&) = delete;

    // None while the request is held; else the reply's bytes (empty when closed without a reply).
    std::optional<std::string> outcome()
    {
        if (m_outcome)
            return m_outcome;
        pollfd ready{m_fd, POLLIN, 0};
        if (m_fd < 0 || ::poll(&ready, 1, 0) <= 0)
            return std::nullopt;
        std::string bytes;
        char buffer[4096];
        for (;;) {
            const ssize_t count = ::read(m_fd, buffer, sizeof buffer);
            if (count <= 0)
                break;
            bytes.append(buffer, static_cast<std::size_t>(count));
        }
        m_outcome = bytes;
        return m_outcome;
    }
    nlohmann::json replyJson()
    {
        const auto bytes = outcome();
        return bytes && !bytes->empty() ? nlohmann::json::parse(*bytes) : nlohmann::json();
    }
    // The client process goes away.
    void hangUp()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    std::shared_ptr<PendingDecision> decision;

  private:
    int m_fd = -1;
    std::optional<std::string> m_outcome;
};

} // namespace velquist::test
