#pragma once

#include "Shared/HomePaths.h"

#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>

namespace velquist {

// One running application per user: an exclusive flock on a file in the support folder and an
// abstract Unix socket name made from that file's path, both held for the life of the object. The
// kernel drops both when the process ends, however it ends, so a crash never leaves a stale lock,
// and two copies started together cannot both win. The name lives in no folder, so deleting the
// support folder under a running copy does not let a second one start. Any local user can bind
// any abstract name, though: a name held by another user's process is no instance of ours, and
// then the lock file alone decides.
class InstanceLock
{
  public:
    enum class State {
        held,          // this process is the one instance
        heldElsewhere, // another process holds the lock
        unavailable,   // the lock file could not be opened; nothing can be told
    };

    explicit InstanceLock(std::filesystem::path file);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // "velquist.lock" in the support folder of `paths`, which both copies of the same user share.
    static std::filesystem::path fileIn(const HomePaths& paths);

    State state() const { return m_state; }
    // Why the lock is unavailable; empty otherwise.
    const std::string& error() const { return m_error; }

    // The abstract socket name that stands for `file`.
    static std::string abstractName(const std::filesystem::path& file);

    // The bound socket of the name, while this process holds the lock (-1 otherwise); the running
    // instance listens on it for later launches.
    int nameSocket() const { return m_state == State::held ? m_nameFd : -1; }
    // From a later launch: tells the instance holding `file` that the user started the application
    // again. False when no instance listens, or the name's holder is not this user's.
    static bool tellHolder(const std::filesystem::path& file);

    // What a launch that found the name taken concludes, from what the lock file said and the user
    // id of the name's holder (none when it could not be read): only a holder running as `self`
    // is another instance.
    static State stateWithNameTaken(State lockState, std::optional<uid_t> holder, uid_t self);

  private:
    // Opens and locks the file; sets the state from the lock (held, heldElsewhere or unavailable).
    void lockFile(const std::filesystem::path& file);

    int m_fd = -1;
    int m_nameFd = -1;
    State m_state = State::unavailable;
    std::string m_error;
};

} // namespace velquist
