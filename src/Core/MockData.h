#pragma once

#include "Platform/Clock.h"

namespace velquist {

class SessionStore;

// The demonstration sessions of "--mock-data": seven sessions in every state the panel can show,
// across three agents and two terminals, with no agent running.
namespace MockData {

// Upserts the seven sessions, their dates counted back from `now`. None has an owner process, so
// a later launch drops them when it restores the saved sessions.
void populate(SessionStore& store, Clock::WallTime now);

} // namespace MockData
} // namespace velquist
