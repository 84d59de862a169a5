#pragma once

#include "Core/Session.h"
#include "Core/SessionCardText.h"

#include <QString>

namespace velquist {

// One card of the panel's list as a value: the session it stands for and what its card says of
// it. Two equal cards draw the same (apart from the clock), so a view redraws a card only when its
// value changes.
struct SessionCard
{
    Session session;
    QString title;
    SessionCardText::StatusLine status;
    SessionCardText::Content content = SessionCardText::Content::none;

    bool operator==(const SessionCard&) const = default;

    static SessionCard of(const Session& session);
};

} // namespace velquist
