// Agent icons, count badges, status pips and session marks.

#include "RenderRegistry.h"

#include "Shared/AgentKind.h"
#include "UI/AgentBadge.h"
#include "UI/AgentIcon.h"
#include "UI/Kit/AuroraStyle.h"
#include "UI/SessionMark.h"
#include "UI/SessionSignal.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QWidget>

namespace velquist::render {
namespace {

const RenderRegistration marks("agent-marks", [](const RenderContext& context, RenderSink& sink) {
    sink.painted("icons", QSize(int(kAllAgentKinds.size()) * 34 + 10, 44), [](QPainter& painter) {
        for (std::size_t i = 0; i < kAllAgentKinds.size(); ++i)
            AgentIcon::paint(painter, QRectF(10 + i * 34, 12, 20, 20), kAllAgentKinds[i]);
    });
    sink.painted("icons-with-badges", QSize(6 * 34 + 16, 40), [](QPainter& painter) {
        const int counts[] = {1, 3, 9, 10, 57, 0};
        for (int i = 0; i < 6; ++i) {
            const QRectF icon(10 + i * 34, 14, 16, 16);
            AgentIcon::paint(painter, icon, kAllAgentKinds[std::size_t(i)]);
            const QSizeF size = AgentBadge::size(counts[i]);
            const QPointF topRight = icon.topRight() + AgentBadge::kOffset;
            AgentBadge::paint(painter, QRectF(topRight - QPointF(size.width() / 2, 0), size), counts[i]);
        }
    });

    QWidget row;
    auto* layout = new QHBoxLayout(&row);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(12);
    for (const Session& session : context.sessions)
        layout->addWidget(
            new SessionMark(session.agent, SessionSignal::color(session, context.clock.now()), false));
    layout->addWidget(new SessionMark(AgentKind::codex, std::nullopt, false));
    sink.widget("session-marks", row);
});

} // namespace
} // namespace velquist::render
