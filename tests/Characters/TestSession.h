#pragma once

#include "Core/Session.h"

#include <string>
#include <unistd.h>

namespace velquist::test {

// A session of this process (so the store keeps it) in the given state.
inline Session characterSession(const std::string& id, SessionStatus status)
{
    Session session;
    session.id = id;
    session.cwd = "/home/u/p";
    session.status = std::move(status);
    session.terminal.ownerPID = ::getpid();
    return session;
}

} // namespace velquist::test
