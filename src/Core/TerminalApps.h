#pragma once

#include "Platform/AppRegistry.h"

#include <cstdint>
#include <functional>
#include <optional>

class QObject;

namespace velquist {

// The terminal application that shows a session, found from its owner process off the main thread
// and kept, so the attention code can ask "is its terminal in front?" without waiting.
class TerminalApps
{
  public:
    virtual ~TerminalApps() = default;
    // What was found for `ownerPID`: none when it has not been looked up yet; an empty inner value
    // when it was and no application owns it.
    virtual std::optional<std::optional<RunningApp>> cached(std::int64_t ownerPID) const = 0;
    // Looks `ownerPID` up; `done` runs on the calling thread once `cached` knows, unless `context`
    // has gone.
    virtual void lookUp(std::int64_t ownerPID, QObject* context, std::function<void()> done) = 0;
};

// For where sessions cannot be bound to their terminal: every owner is known to have none.
class NoTerminalApps final : public TerminalApps
{
  public:
    std::optional<std::optional<RunningApp>> cached(std::int64_t) const override
    {
        return std::optional<std::optional<RunningApp>>(std::in_place, std::nullopt);
    }
    void lookUp(std::int64_t, QObject*, std::function<void()> done) override { done(); }
};

} // namespace velquist
