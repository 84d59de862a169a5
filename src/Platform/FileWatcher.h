#pragma once

#include <cstdint>
#include <functional>

namespace velquist {

// Change notices for files that are open, all from one shared kernel facility (the number of
// watches a user may hold is small). A watch follows the open file, not its path: a caller that
// cares about the path compares it with the open file when `linkChanged` arrives.
class FileWatcher
{
  public:
    enum Change : unsigned {
        // Bytes were written to the file, or it was truncated.
        contentChanged = 1u << 0,
        // The file was unlinked, renamed, renamed over or had its attributes changed.
        linkChanged = 1u << 1,
    };
    using Handler = std::function<void(unsigned changes)>;
    using WatchId = std::uint64_t;

    virtual ~FileWatcher() = default;
    // Whether change notices can be had at all.
    virtual bool canWatch() const = 0;
    // Watches the file open as `fd`; `handler` runs on the main thread with the changes seen
    // (both bits when notices were lost). Returns 0 when refused. Callable from any thread.
    virtual WatchId watch(int fd, Handler handler) = 0;
    // Ends a watch; a notice already being handed out may still arrive. Callable from any thread.
    virtual void unwatch(WatchId id) = 0;
};

} // namespace velquist
