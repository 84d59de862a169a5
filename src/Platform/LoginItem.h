#pragma once

#include "Shared/FileUtil.h"

namespace velquist {

// Whether the application starts when the user logs in.
class LoginItem
{
  public:
    virtual ~LoginItem() = default;
    // Whether the application is registered to start at login.
    virtual bool isEnabled() const = 0;
    // Registers the application to start at login.
    virtual FileResult enable() = 0;
    // Removes the registration; one that was never made counts as removed.
    virtual FileResult disable() = 0;
};

} // namespace velquist
