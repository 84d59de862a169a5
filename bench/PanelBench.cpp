// The open panel's costs: one store update while 200 sessions are listed (the list refreshes the
// changed row in place and lays out again), and the frame time of the one-second open animation of
// the body with that list (every frame laid out and painted). Prints figures and their ratio to
// the targets.

#include "BenchReport.h"
#include "Core/QtScheduler.h"
#include "Core/SessionStore.h"
#include "Core/SilenceRuleStore.h"
#include "Core/SystemClock.h"
#include "UI/CollapsedBarLayout.h"
#include "UI/CollapsedBarView.h"
#include "UI/ExpandedListView.h"
#include "UI/NotchBody.h"
#include "UI/PeekView.h"
#include "UI/SessionRowSource.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

using namespace velquist;

namespace {

constexpr int kSessions = 200;
constexpr int kUpdates = 400;
constexpr double kTargetUpdateMs = 2.0;
constexpr double kTargetFrameMs = 8.0;
constexpr int kFrameStepMs = 16;

// Each session as a one-line painted row with its mark, folder and request.
class LineRows final : public SessionRowSource
{
  public:
    explicit LineRows(const Clock& clock) : m_clock(clock) {}
    QWidget* makeRow(const Session& session) override { return new PeekView(session, m_clock.now()); }
    void updateRow(QWidget* row, const Session& session) override
    {
        static_cast<PeekView*>(row)->setSession(session, m_clock.now());
    }

  private:
    const Clock& m_clock;
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir scratch;
    const std::filesystem::path base = scratch.path().toStdString();
    SystemClock clock;
    QtScheduler scheduler;
    SilenceRuleStore silence(base / "silence-rules.json");
    SessionStore store(clock, scheduler, base / "sessions.json", &silence);
    store.disablePersistence();
    for (int index = 0; index < kSessions; ++index) {
        Session session;
        session.id = "claude:bench-" + std::to_string(index);
        session.agent = kAllAgentKinds[std::size_t(index) % 3];
        session.cwd = "/home/user/projects/service-" + std::to_string(index);
        session.status = index % 5 == 0 ? SessionStatus(SessionStatus::NeedsPermission{PermissionRequest{
                                              "Bash", "npm test -- --watch=false", std::nullopt, false}})
                                        : SessionStatus(SessionStatus::Working{"Reading files"});
        store.upsert(session);
    }

    NotchGeometry geometry;
    geometry.centerGapWidth = NotchGeometry::kGaplessWidth;
    geometry.barHeight = 32;
    LineRows rows(clock);
    auto* bar = new CollapsedBarView(geometry);
    NotchBody body(geometry, bar);
    body.setAttribute(Qt::WA_DontShowOnScreen);
    body.resize(int(geometry.openWidth()) + 80, 600);
    body.show();
    QObject::connect(&body, &NotchBody::sheetHeightChanged, &body, &NotchBody::setSheetHeight);
    auto* list = new ExpandedListView(store, rows);
    list->setAvailableHeight(body.availableSheetHeight());
    body.setSheetContent(list);
    bar->setSessions(store.displaySessions());
    body.setCollapsedWidth(
        CollapsedBarLayout::collapsedWidth(geometry, int(bar->groups().size()), false, true));
    QCoreApplication::processEvents();

    // One update: the store changes a session, the list refreshes that row and lays out again.
    const auto displayed = store.displaySessions();
    QElapsedTimer timer;
    timer.start();
    for (int round = 0; round < kUpdates; ++round) {
        const std::string& id = displayed[std::size_t(round * 37 % kSessions)].id;
        store.update(id, [round](Session& session) {
            session.status = SessionStatus::Working{"Editing file " + std::to_string(round)};
        });
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    }
    const double updateMs = double(timer.nsecsElapsed()) / 1e6 / kUpdates;

    // The open animation, frame by frame: every animated value moved, the body laid out and painted.
    QImage frame(body.size(), QImage::Format_ARGB32_Premultiplied);
    body.setOpen(true);
    double worst = 0, total = 0;
    int frames = 0;
    for (int at = kFrameStepMs; at <= 1000; at += kFrameStepMs) {
        timer.restart();
        body.seek(at);
        QPainter painter(&frame);
        body.render(&painter, {}, {}, QWidget::DrawChildren);
        painter.end();
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        worst = std::max(worst, ms);
        total += ms;
        ++frames;
    }
    std::printf("open animation: %d frames, worst %.2f ms\n", frames, worst);
    bench::row("panel: one store update, 200 sessions listed", updateMs, "ms", kTargetUpdateMs, false);
    bench::row("panel: open animation frame (mean)", total / frames, "ms", kTargetFrameMs, false);
    return 0;
}
