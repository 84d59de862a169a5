#include "UI/SessionSignal.h"

#include "Core/Session.h"
#include "UI/Kit/AuroraStyle.h"
#include "UI/Kit/Palette.h"

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
    const SessionStatus& status = session.status;
    if (status.asksForUser() && session.attentionSince && now - *session.attentionSince > kOverdueAfter)
        return Palette::signalOverdue();
    if (status.is<SessionStatus::Working>())
        return Palette::signalWorking();
    if (status.is<SessionStatus::NeedsPermission>())
        return AuroraStyle::systemOrange();
    if (status.is<SessionStatus::WaitingForInput>())
        return Palette::signalWaiting();
    if (status.is<SessionStatus::Done>())
        return session.doneSeenAt ? doneRead() : doneUnread();
    return Palette::signalIdle();
}

} // namespace velquist::SessionSignal
