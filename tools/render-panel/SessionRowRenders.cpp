// The session rows of the demonstration sessions, one picture per session and one of the list.

#include "RenderRegistry.h"

#include "Actions/ActionDispatcher.h"
#include "Characters/IntroDirector.h"
#include "Core/QtScheduler.h"
#include "Core/SessionStore.h"
#include "UI/DemoPressSource.h"
#include "UI/Kit/SplitCapsule.h"
#include "UI/Kit/ViewTicker.h"
#include "UI/SessionRow.h"

#include <QVBoxLayout>

namespace velquist::render {
namespace {

constexpr int kRowWidth = 460;

// The introduction pressing (or not) its demonstration's Allow.
class FixedDemoPress final : public DemoPressSource
{
  public:
    explicit FixedDemoPress(bool pressing) : m_pressing(pressing) {}
    bool isPressingAllow() const override { return m_pressing; }

  private:
    bool m_pressing;
};

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
        SessionRow row(SessionCard::of(session), rowContext);
        const QString state = QString::fromStdString(session.id).section(':', -1).replace('/', '-');
        sink.widget(state, row,
                    QSize(kRowWidth, row.heightForWidth(kRowWidth) > 0 ? row.heightForWidth(kRowWidth)
                                                                       : row.sizeHint().height()));
        layout->addWidget(new SessionRow(SessionCard::of(session), rowContext, &list));
    }
    sink.widget("all", list,
                QSize(kRowWidth, list.heightForWidth(kRowWidth) > 0 ? list.heightForWidth(kRowWidth)
                                                                    : list.sizeHint().height()));
});

// The introduction's demonstration asking to run its tests: its Allow released, half-way into the
// press, and pressed.
const RenderRegistration demo("demo-row", [](const RenderContext& context, RenderSink& sink) {
    QtScheduler scheduler;
    ViewTicker ticker(scheduler, context.clock);
    ActionDispatcher dispatcher(context.clock);
    Session session = IntroDirector::demoSession(context.clock.now());
    PermissionRequest request{"Bash", "Run the test suite",
                              ToolDetail::Bash{"npm test -- --coverage", "Run the test suite", false}, false};
    session.status = SessionStatus::NeedsPermission{request};
    context.store.upsert(session);
    struct Look
    {
        const char* state;
        bool pressing;
        double amount; // below 0: as the press leaves it
    };
    for (const Look look : {Look{"allow-released", false, -1}, Look{"allow-half-pressed", false, 0.5},
                            Look{"allow-pressed", true, -1}}) {
        FixedDemoPress press(look.pressing);
        SessionRowContext rowContext{dispatcher, context.store,      ticker, {}, nullptr,
                                     nullptr,    [] { return true; }};
        rowContext.demoPress = &press;
        SessionRow row(SessionCard::of(session), rowContext);
        if (look.amount >= 0 && row.allowControl())
            row.allowControl()->setPressAmount(look.amount);
        sink.widget(look.state, row,
                    QSize(kRowWidth, row.heightForWidth(kRowWidth) > 0 ? row.heightForWidth(kRowWidth)
                                                                       : row.sizeHint().height()));
    }
    context.store.remove(session.id);
});

} // namespace
} // namespace velquist::render
