// The open panel's costs with the application's own session cards (SessionRow, as the panel makes
// them): one store update while 200 sessions are listed (the list refreshes the changed row in
// place and lays out again), and the frames of the open animation of the body with that list,
// each one laid out and painted in full (the bar, the sheet and every card it shows). The
// animation runs open and closed again kRuns times; the worst frame and the 99th percentile are
// reported, with the median beside them. Prints figures and their ratio to the targets.

#include "Actions/ActionDispatcher.h"
#include "BenchReport.h"
#include "Core/QtScheduler.h"
#include "Core/SessionCardList.h"
#include "Core/SessionStore.h"
#include "Core/SilenceRuleStore.h"
#include "Core/SystemClock.h"
#include "UI/CollapsedBarLayout.h"
#include "UI/CollapsedBarView.h"
#include "UI/ExpandedListView.h"
#include "UI/Kit/ViewTicker.h"
#include "UI/NotchBody.h"
#include "UI/SessionRowFactory.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

using namespace velquist;

namespace {

constexpr int kSessions = 200;
constexpr int kUpdates = 400;
constexpr double kTargetUpdateMs = 2.0;
constexpr double kTargetFrameMs = 16.0;
constexpr int kFrameStepMs = 16;
constexpr int kRuns = 20;

// This thread's CPU time in milliseconds: a frame's own work, whatever else runs on the machine.
double threadCpuMs()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

double percentile(std::vector<double> values, double fraction)
{
    std::sort(values.begin(), values.end());
    const auto index = std::size_t(std::ceil(fraction * double(values.size()))) - 1;
    return values[std::min(index, values.size() - 1)];
}

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
    ViewTicker ticker(scheduler, clock);
    ActionDispatcher dispatcher(clock);
    SessionRowFactory rows(SessionRowContext{dispatcher, store, ticker, {}, nullptr, nullptr, {}});
    auto* bar = new CollapsedBarView(geometry);
    NotchBody body(geometry, bar);
    body.setAttribute(Qt::WA_DontShowOnScreen);
    body.resize(int(geometry.openWidth()) + 80, 600);
    body.show();
    QObject::connect(&body, &NotchBody::sheetHeightChanged, &body, &NotchBody::setSheetHeight);
    SessionCardList cardList(store);
    auto* list = new ExpandedListView(cardList, rows);
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

    // The open animation, frame by frame: every animated value moved, the body laid out and
    // painted with every card it shows; then closed at once for the next run.
    QImage frame(body.size(), QImage::Format_ARGB32_Premultiplied);
    std::vector<double> frames;
    std::vector<double> frameCpu;
    for (int run = 0; run < kRuns; ++run) {
        body.setOpen(true);
        for (int at = kFrameStepMs; at <= 1000; at += kFrameStepMs) {
            timer.restart();
            const double cpuBefore = threadCpuMs();
            body.seek(at);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            QPainter painter(&frame);
            body.render(&painter, {}, {}, QWidget::DrawChildren);
            painter.end();
            frames.push_back(double(timer.nsecsElapsed()) / 1e6);
            frameCpu.push_back(threadCpuMs() - cpuBefore);
            if (std::getenv("VELQUIST_BENCH_FRAMES") && (frames.back() > 16 || frameCpu.back() > 16))
                std::fprintf(stderr, "run %d frame at %d ms: %.1f ms, %.1f ms CPU\n", run, at, frames.back(),
                             frameCpu.back());
        }
        body.setAnimated(false);
        body.setOpen(false);
        body.setAnimated(true);
        QCoreApplication::processEvents();
    }
    const std::size_t cards = list->rows().size();
    const double worst = *std::max_element(frames.begin(), frames.end());
    const double worstCpu = *std::max_element(frameCpu.begin(), frameCpu.end());
    std::printf(
        "open animation with %zu session cards: %zu frames, median %.2f ms, p99 %.2f ms, worst %.2f ms; "
        "the thread's own CPU time: median %.2f ms, p99 %.2f ms, worst %.2f ms\n",
        cards, frames.size(), percentile(frames, 0.5), percentile(frames, 0.99), worst,
        percentile(frameCpu, 0.5), percentile(frameCpu, 0.99), worstCpu);
    bench::row("panel: one store update, 200 sessions listed", updateMs, "ms", kTargetUpdateMs, false);
    bench::row("panel: open animation frame with session cards (p99)", percentile(frames, 0.99), "ms",
               kTargetFrameMs, false);
    bench::row("panel: open animation frame with session cards (worst)", worst, "ms", kTargetFrameMs, false);
    // On a busy machine the wall clock counts other programs' turns; the thread's CPU time does not.
    bench::row("panel: open animation frame, own CPU time (p99)", percentile(frameCpu, 0.99), "ms",
               kTargetFrameMs, false);
    bench::row("panel: open animation frame, own CPU time (worst)", worstCpu, "ms", kTargetFrameMs, false);
    return 0;
}
