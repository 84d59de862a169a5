#include "UI/SessionSignal.h"

#include "Core/Session.h"
#include "UI/AuroraStyle.h"

namespace velquist::SessionSignal {

QColor doneUnread()
{
    return AuroraStyle::systemGreen();
}

QColor doneRead()
{
    QColor colour = AuroraStyle::systemGreen();
    colour.setAlphaF(0.35f);
    return colour;
}

QColor color(const Session& session, Clock::WallTime now)
{
    using AuroraStyle::rgb;
    const SessionStatus& status = session.status;
    if (status.asksForUser() && session.attentionSince && now - *session.attentionSince > kOverdueAfter)
        return rgb(1.0, 0.42, 0.28);
    if (status.is<SessionStatus::Working>())
        return rgb(0.91, 0.91, 0.91);
    if (status.is<SessionStatus::NeedsPermission>())
        return AuroraStyle::systemOrange();
    if (status.is<SessionStatus::WaitingForInput>())
        return rgb(0.35, 0.65, 1.0);
    if (status.is<SessionStatus::Done>())
        return session.doneSeenAt ? doneRead() : doneUnread();
    return rgb(0.36, 0.36, 0.36);
}

} // namespace velquist::SessionSignal
