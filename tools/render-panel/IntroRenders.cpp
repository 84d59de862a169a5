// The tour: the logo cat in each expression and pose, the mark and the icons made from it, the
// card of every step as it floats (with its shadow), moments of the card easing from one step to
// the next, and the window-control guide.

#include "RenderRegistry.h"

#include "Characters/AccessibilityGuide.h"
#include "Characters/IntroCardPanel.h"
#include "Characters/IntroCardView.h"
#include "Characters/IntroStepContent.h"
#include "Characters/LogoCat.h"
#include "Characters/LogoCatMotion.h"
#include "Characters/VelquistMark.h"
#include "Core/QtScheduler.h"

#include <QPainter>
#include <QWidget>
#include <map>

namespace velquist::render {
namespace {

// Time that stands still until moved: each move runs every repeating timer once at the new moment
// (enough for the frame clock of an easing card); one-shot timers never fire.
class PausedTime final : public Clock, public Scheduler
{
  public:
    WallTime now() const override { return WallTime{} + m_elapsed; }
    Monotonic monotonic() const override { return Monotonic{} + m_elapsed; }
    TimerId schedule(std::chrono::milliseconds, Callback callback) override
    {
        m_once[m_next] = std::move(callback);
        return m_next++;
    }
    TimerId scheduleRepeating(std::chrono::milliseconds, Callback callback) override
    {
        m_repeating[m_next] = std::move(callback);
        return m_next++;
    }
    void cancel(TimerId id) override
    {
        m_once.erase(id);
        m_repeating.erase(id);
    }
    bool isScheduled(TimerId id) const override { return m_once.contains(id) || m_repeating.contains(id); }

    void moveTo(std::chrono::milliseconds elapsed)
    {
        m_elapsed = elapsed;
        std::vector<TimerId> due;
        for (const auto& [id, callback] : m_repeating)
            due.push_back(id);
        for (TimerId id : due)
            if (auto it = m_repeating.find(id); it != m_repeating.end()) {
                Callback run = it->second;
                run();
            }
    }

  private:
    std::chrono::milliseconds m_elapsed{0};
    TimerId m_next = 1;
    std::map<TimerId, Callback> m_once;
    std::map<TimerId, Callback> m_repeating;
};

const RenderRegistration cat("logo-cat", [](const RenderContext&, RenderSink& sink) {
    for (int height : {104, 38, 19}) {
        const int width = LogoCat::widthFor(height);
        const int gap = height / 4;
        const QSize size(int(kAllLogoCatExpressions.size()) * (width + gap) + gap, height + 2 * gap);
        sink.painted(QString("rest-%1").arg(height), size, [&](QPainter& painter) {
            for (std::size_t i = 0; i < kAllLogoCatExpressions.size(); ++i) {
                painter.save();
                painter.translate(gap + int(i) * (width + gap), gap);
                LogoCat::paint(painter, kAllLogoCatExpressions[i],
                               LogoCatMotion::pose(kAllLogoCatExpressions[i], 0, true), height);
                painter.restore();
            }
        });
    }
    // Each expression through its motion: five moments across two seconds, blinking in the middle.
    const int height = 76;
    const int width = LogoCat::widthFor(height);
    for (LogoCatExpression expression : kAllLogoCatExpressions) {
        sink.painted(QString("motion-%1").arg(QString::fromUtf8(toString(expression).data())),
                     QSize(5 * (width + 12) + 12, height + 24), [&](QPainter& painter) {
                         for (int i = 0; i < 5; ++i) {
                             LogoCatGrid::Pose pose = LogoCatMotion::pose(expression, i * 0.45, false);
                             pose.isBlinking = i == 2;
                             painter.save();
                             painter.translate(12 + i * (width + 12), 12);
                             LogoCat::paint(painter, expression, pose, height);
                             painter.restore();
                         }
                     });
    }
});

const RenderRegistration mark("velquist-mark", [](const RenderContext&, RenderSink& sink) {
    sink.setBackdrop(QColor(236, 236, 236));
    sink.painted("menu-bar", QSize(40, 23), [](QPainter& painter) {
        painter.drawImage(QPointF(4, 4), VelquistMark::menuBarImage(15, 2));
        painter.setPen(QColor(255, 0, 0, 90));
        painter.drawRect(QRectF(4, 4, 18, 15));
    });
    const int sizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
    sink.painted("application-icons", QSize(840, 280), [&](QPainter& painter) {
        int x = 8;
        for (int size : sizes) {
            // Each at its own pixel size, as the desktop shows it.
            QImage icon = VelquistMark::applicationImage(size * 2);
            icon.setDevicePixelRatio(2);
            painter.drawImage(QPointF(x, 8), icon);
            x += size + 8;
        }
    });
    sink.setBackdrop(QColor(40, 40, 44));
    sink.painted("status-icons", QSize(200, 60), [&](QPainter& painter) {
        int x = 8;
        for (int size : {16, 22, 24, 32, 48}) {
            QImage icon = VelquistMark::statusImage(size * 2, Qt::white);
            icon.setDevicePixelRatio(2);
            painter.drawImage(QPointF(x, 8), icon);
            x += size + 8;
        }
    });
});

// A card as its window shows it: the shadow below it, then the card.
void cardWithShadow(RenderSink& sink, const QString& state, IntroCardView& view)
{
    const QSize card = view.sizeHint();
    view.resize(card);
    const QImage picture = view.grab().toImage();
    const QMargins margins = IntroCardPanel::kShadowMargins;
    sink.painted(state, card.grownBy(margins), [&](QPainter& painter) {
        painter.drawImage(QRectF(QPointF(0, 0), QSizeF(card.grownBy(margins))),
                          IntroCardPanel::shadowImage(card));
        painter.drawImage(QRectF(QPointF(margins.left(), margins.top()), QSizeF(card)), picture);
    });
}

const RenderRegistration card("intro-card", [](const RenderContext& context, RenderSink& sink) {
    sink.setBackdrop(QColor(58, 62, 72));
    QtScheduler scheduler;
    ViewTicker ticker(scheduler, context.clock);
    const std::vector<FoundAgent> agents{{"Claude Code", true}, {"Codex", false}, {"Gemini", true}};
    for (IntroStep step : kAllIntroSteps) {
        IntroCardView view(ticker, scheduler, IntroStepTexts::content(step, agents), {});
        view.setReduceMotion(true);
        cardWithShadow(sink,
                       QString("%1-%2").arg(int(step)).arg(view.content().primary.c_str()).replace(' ', '_'),
                       view);
    }
    IntroCardView none(ticker, scheduler, IntroStepTexts::content(IntroStep::ready, {}), {});
    none.setReduceMotion(true);
    cardWithShadow(sink, "6-no-agents", none);
    IntroCardView granted(ticker, scheduler, IntroStepTexts::content(IntroStep::jump, {}), {});
    granted.setAccessibilityGranted(true);
    granted.setReduceMotion(true);
    cardWithShadow(sink, "5-granted", granted);
    IntroCardView unreachable(ticker, scheduler, IntroStepTexts::content(IntroStep::jump, {}, "GNOME"), {});
    unreachable.setReduceMotion(true);
    cardWithShadow(sink, "5-gnome-wayland", unreachable);

    // Moments of a step change: the old words and buttons fading out as the new ones come in,
    // the height on its way, the bars springing.
    struct Change
    {
        IntroStep from;
        IntroStep to;
    };
    for (const Change change :
         {Change{IntroStep::working, IntroStep::permission}, Change{IntroStep::local, IntroStep::jump}}) {
        for (int ms : {90, 180}) {
            PausedTime paused;
            ViewTicker pausedTicker(paused, paused);
            IntroCardView view(pausedTicker, paused, IntroStepTexts::content(change.from, agents), {});
            view.show();
            view.setContent(IntroStepTexts::content(change.to, agents));
            paused.moveTo(std::chrono::milliseconds(ms));
            cardWithShadow(
                sink, QString("change-%1-to-%2-at-%3ms").arg(int(change.from)).arg(int(change.to)).arg(ms),
                view);
        }
    }
});

} // namespace
} // namespace velquist::render
