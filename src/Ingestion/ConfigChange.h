#pragma once

#include <string>

namespace velquist {

// The outcome of an edit of an agent's configuration file: `changed` when the file was rewritten,
// `error` (empty on success) when it could not be, in which case the file is as it was.
struct ConfigChange
{
    bool changed = false;
    std::string error;
    bool ok() const { return error.empty(); }
};

} // namespace velquist
