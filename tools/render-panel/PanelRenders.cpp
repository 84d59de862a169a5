// The collapsed bar, the peek line and the whole body in its collapsed, peeking and open forms.

#include "RenderRegistry.h"

#include "Actions/ActionDispatcher.h"
#include "Core/QtScheduler.h"
#include "Core/SessionCardList.h"
#include "Core/SessionStore.h"
#include "UI/CollapsedBarLayout.h"
#include "UI/CollapsedBarView.h"
#include "UI/ExpandedListView.h"
#include "UI/Kit/ViewTicker.h"
#include "UI/NotchBody.h"
#include "UI/PeekView.h"
#include "UI/SessionRowFactory.h"

#include <QWidget>

#include <functional>

namespace velquist::render {
namespace {

NotchGeometry barGeometry()
{
    NotchGeometry geometry;
    geometry.centerGapWidth = NotchGeometry::kGaplessWidth;
    geometry.barHeight = 32;
    return geometry;
}

std::vector<Session> sessionsOfKinds(const RenderContext& context, int kinds)
{
    std::vector<Session> sessions;
    for (int index = 0; index < kinds; ++index) {
        Session session = context.sessions.front();
        session.id = "render-" + std::to_string(index);
        session.agent = kAllAgentKinds[std::size_t(index)];
        if (index % 2 == 0)
            session.status = SessionStatus::NeedsPermission{};
        sessions.push_back(session);
    }
    return sessions;
}

// A bar standing on black, as it shows under the screen's top edge.
void renderBar(RenderSink& sink, const QString& state,
               const std::function<void(CollapsedBarView&)>& configure)
{
    QWidget frame;
    frame.setAttribute(Qt::WA_StyledBackground);
    frame.setStyleSheet("background: black;");
    auto* bar = new CollapsedBarView(barGeometry(), &frame);
    configure(*bar);
    const QSize size = bar->sizeHint();
    bar->setGeometry(0, 0, size.width(), size.height());
    sink.widget(state, frame, size);
}

const RenderRegistration bar("collapsed-bar", [](const RenderContext& context, RenderSink& sink) {
    for (int kinds = 1; kinds <= 7; ++kinds)
        renderBar(sink, QStringLiteral("%1-kinds").arg(kinds),
                  [&](CollapsedBarView& view) { view.setSessions(sessionsOfKinds(context, kinds)); });
    renderBar(sink, "demonstration", [&](CollapsedBarView& view) { view.setSessions(context.sessions); });
    renderBar(sink, "snoozed-no-sessions", [](CollapsedBarView& view) { view.setSnoozed(true); });
    renderBar(sink, "snoozed-usage-ring", [&](CollapsedBarView& view) {
        view.setSessions(context.sessions);
        view.setSnoozed(true);
        view.setSelectedCharacterId("usage");
        view.setUsage(context.usage);
    });
});

const RenderRegistration peek("peek", [](const RenderContext& context, RenderSink& sink) {
    const auto now = context.clock.now();
    int index = 0;
    for (const Session& session : context.sessions) {
        if (!session.status.asksForUser())
            continue;
        PeekView view(session, now);
        sink.widget(QStringLiteral("%1-%2").arg(++index).arg(
                        session.status.is<SessionStatus::NeedsPermission>() ? "permission" : "question"),
                    view);
    }
    Session overdue = context.find("mock-");
    overdue.cwd = "unknown";
    overdue.status = SessionStatus::Working{};
    overdue.attentionSince = now - std::chrono::minutes(7);
    PeekView other(overdue, now);
    sink.widget("no-folder-overdue", other);
});

const RenderRegistration body("body", [](const RenderContext& context, RenderSink& sink) {
    const NotchGeometry geometry = barGeometry();
    const auto now = context.clock.now();
    const auto make = [&](bool open) {
        auto* bar = new CollapsedBarView(geometry);
        bar->setSessions(context.sessions);
        auto body = std::make_unique<NotchBody>(geometry, bar);
        body->setAnimated(false);
        QObject::connect(body.get(), &NotchBody::sheetHeightChanged, body.get(), &NotchBody::setSheetHeight);
        body->setCollapsedWidth(
            CollapsedBarLayout::collapsedWidth(geometry, int(bar->groups().size()), false,
                                               bar->rightItem() != CollapsedBarView::RightItem::none));
        body->setOpen(open);
        return body;
    };
    const QSize panel(int(geometry.openWidth()) + 80, 160);
    // A desktop's grey, so the outline and its shadow show.
    sink.setBackdrop(QColor(0x5d, 0x64, 0x70));

    auto collapsed = make(false);
    sink.widget("collapsed", *collapsed, QSize(panel.width(), 60));

    auto peeking = make(true);
    peeking->setSheetContent(new PeekView(context.store.attentionSession().value(), now));
    sink.widget("peeking", *peeking, panel);

    // Mid-way through opening: a tenth of a second into the motion.
    auto opening = make(false);
    opening->setAnimated(true);
    opening->setSheetContent(new PeekView(context.store.attentionSession().value(), now));
    opening->setOpen(true);
    opening->seek(100);
    sink.widget("peeking-opening-100ms", *opening, panel);

    auto empty = make(true);
    sink.widget("peeking-without-session", *empty, panel);

    QtScheduler scheduler;
    ViewTicker ticker(scheduler, context.clock);
    ActionDispatcher dispatcher(context.clock);
    const SessionRowContext rowContext{dispatcher, context.store, ticker, {}, nullptr, nullptr, {}};
    SessionRowFactory rows(rowContext);
    SessionCardList cards(context.store);
    auto expanded = make(true);
    auto* list = new ExpandedListView(cards, rows, nullptr, &context.clock);
    list->setAvailableHeight(expanded->availableSheetHeight());
    list->setUsage(context.usage);
    expanded->setSheetContent(list);
    sink.widget("expanded", *expanded, QSize(panel.width(), 620));
});

} // namespace
} // namespace velquist::render
