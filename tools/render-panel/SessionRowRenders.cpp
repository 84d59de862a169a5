// The session rows of the demonstration sessions, one picture per session and one of the list.

#include "RenderRegistry.h"

#include "Actions/ActionDispatcher.h"
#include "Core/QtScheduler.h"
#include "UI/SessionRow.h"
#include "UI/ViewTicker.h"

#include <QVBoxLayout>

namespace velquist::render {
namespace {

constexpr int kRowWidth = 460;

const RenderRegistration rows("session-row", [](const RenderContext& context, RenderSink& sink) {
    QtScheduler scheduler;
    ViewTicker ticker(scheduler, context.clock);
    ActionDispatcher dispatcher(context.clock);
    const SessionRowContext rowContext{dispatcher, context.store, ticker, {}, nullptr, nullptr, {}};

    QWidget list;
    auto* layout = new QVBoxLayout(&list);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(-CardFrame::kGlowMargin + 8);
    for (const Session& session : context.sessions) {
        SessionRow row(session, rowContext);
        const QString state = QString::fromStdString(session.id).section(':', -1).replace('/', '-');
        sink.widget(state, row,
                    QSize(kRowWidth, row.heightForWidth(kRowWidth) > 0 ? row.heightForWidth(kRowWidth)
                                                                       : row.sizeHint().height()));
        layout->addWidget(new SessionRow(session, rowContext, &list));
    }
    sink.widget("all", list,
                QSize(kRowWidth, list.heightForWidth(kRowWidth) > 0 ? list.heightForWidth(kRowWidth)
                                                                    : list.sizeHint().height()));
});

} // namespace
} // namespace velquist::render
