#include "quorvel/HookClient.h"

#include "Shared/AppPaths.h"
#include "Shared/HookCleanup.h"
#include "quorvel/HookRequest.h"
#include "quorvel/HookSocket.h"
#include "quorvel/StandardStreams.h"

#include <ctime>
#include <sys/socket.h>
#include <unistd.h>

namespace velquist::HookClient {

namespace {

std::string decisionId(pid_t pid, const timespec& now)
{
    const long long millis = static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
    std::string id = std::to_string(pid);
    id += '-';
    id += std::to_string(millis);
    return id;
}

} // namespace

std::string flag(const std::vector<std::string_view>& arguments, std::string_view name,
                 std::string_view fallback)
{
    for (std::size_t i = 0; i + 1 < arguments.size(); ++i) {
        if (arguments[i] == name)
            return std::string(arguments[i + 1]);
    }
    return std::string(fallback);
}

void run(int argc, char** argv)
{
    const HookInput input = StandardStreams::readInput(kMaxInputBytes);
    const std::vector<std::string_view> arguments(argv, argv + argc);
    const std::string engine = flag(arguments, "--engine", "claude");
    const std::string decideOn = flag(arguments, "--decide-on", "PermissionRequest");
    const std::string unavailable = flag(arguments, "--unavailable", "");

    HookPayload payload;
    if (input.complete)
        HookRequest::readPayload(input.bytes(), kMaxPayloadBytes, payload);
    const bool isDecide = payload.eventName == decideOn;
    const auto sendTimeout = isDecide ? kDecideSendTimeout : kEventSendTimeout;

    // The recorded application is gone. One that still answers on the socket was only moved or
    // rebuilt, and its hooks stay; otherwise it was deleted: take our hooks out of the agents
    // instead of relaying.
    int fd = -1;
    if (HookCleanup::appIsDefinitelyGone()) {
        fd = HookSocket::connectTo(AppPaths::socketPath().native(), sendTimeout);
        if (fd < 0) {
            HookCleanup::withLock(HookCleanup::stripAllConfigs);
            return;
        }
    }
    auto emitUnavailable = [&] {
        if (fd >= 0)
            ::close(fd);
        if (isDecide && !unavailable.empty())
            StandardStreams::writeOutput(unavailable);
    };
    // A request the application cannot be shown whole is not put to the user: the agent's own
    // answer for "unavailable" applies, never an implicit allow.
    if (isDecide && !payload.whole) {
        emitUnavailable();
        return;
    }

    HookRequest::Envelope envelope;
    try {
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        HookRequest::Context context;
        context.engine = engine;
        context.pid = ::getpid();
        context.parent = ::getppid();
        HookRequest::Ancestry ancestry = HookRequest::ancestry(context.parent);
        context.ancestors = std::move(ancestry.chain);
        context.terminal = std::move(ancestry.terminal);
        context.terminalEnv = HookRequest::terminalEnv();
        context.receivedAt = static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
        if (isDecide)
            context.decisionId = decisionId(context.pid, now);
        envelope = HookRequest::envelope(context);
    } catch (...) {
        emitUnavailable();
        return;
    }

    if (fd < 0)
        fd = HookSocket::connectTo(AppPaths::socketPath().native(), sendTimeout);
    if (fd < 0) {
        emitUnavailable();
        return;
    }
    const bool sent = HookSocket::writeAll(fd, {envelope.head, payload.json, envelope.tail}, sendTimeout);
    // An event that is only reported is done: exiting closes the socket.
    if (!isDecide)
        return;
    if (!sent) {
        emitUnavailable();
        return;
    }
    // The end of our sending direction ends the request; the reply comes back on the other.
    ::shutdown(fd, SHUT_WR);
    const auto reply = HookSocket::readToEnd(fd, kDecideTimeout);
    // Only a reply that the application finished by closing is a decision; bytes cut off by a
    // reset or a time-out could be half of one.
    if (reply && !reply->empty()) {
        ::close(fd);
        StandardStreams::writeOutput(*reply);
    } else {
        emitUnavailable();
    }
}

} // namespace velquist::HookClient
