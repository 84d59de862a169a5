#include "Core/SessionCard.h"

namespace velquist {

SessionCard SessionCard::of(const Session& session)
{
    return SessionCard{session, SessionCardText::title(session.cwd),
                       SessionCardText::statusLine(session.status), SessionCardText::contentFor(session)};
}

} // namespace velquist
