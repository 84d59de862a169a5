#pragma once

#include "Characters/IntroCard.h"
#include "Core/Scheduler.h"
#include "UI/Kit/ViewTicker.h"

#include <QEasingCurve>
#include <QImage>
#include <QMargins>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <functional>
#include <optional>

class QVariantAnimation;

namespace velquist {

class IntroCardView;
class IntroCardWindow;
class PanelShaper;

// The floating window that carries the tour's card: frameless, transparent, above ordinary
// windows, taking the keyboard so Return, Escape and the left arrow reach the card. It sits on one
// screen with its top edge 0.46 of the screen's height down, rises into place with a fade, keeps
// its top edge while the content changes height, steps aside to the left edge when asked, stays
// wherever the user drags it, and fades out at the end. The card's shadow is drawn inside the
// window's margins.
class IntroCardPanel final : public QObject, public IntroCard
{
    Q_OBJECT
  public:
    struct Services
    {
        ViewTicker& ticker;
        Scheduler& scheduler;
        bool reduceMotion = false;
        // Whether the window-control guide shows its switch on.
        bool accessibilityGranted = false;
        // Whether a compositor draws see-through pixels. Without one such pixels come out black and
        // are not redrawn when the window is uncovered, so the window is cut to the card's shape
        // and drawn opaque, without its shadow.
        bool translucent = true;
        // Readies the window when it is cut to the card's shape; may be null.
        PanelShaper* shaper = nullptr;
    };

    // The space around the card for its shadow (44 points of blur, 20 down).
    static constexpr QMargins kShadowMargins{44, 24, 44, 64};
    static constexpr double kTopFraction = 0.46;
    static constexpr int kRise = 14;
    static constexpr int kBottomGap = 24;
    static constexpr int kParkedLeft = 32;
    static constexpr int kEntryMs = 340;
    static constexpr int kAsideMs = 280;
    static constexpr int kFadeOutMs = 200;

    IntroCardPanel(const QRect& screen, const IntroStepContent& content, IntroCardCallbacks callbacks,
                   Services services);
    // Fades out (when not closed yet); the window goes by itself afterwards.
    ~IntroCardPanel() override;

    void refresh(const IntroStepContent& content) override;
    void stepAside() override;
    void close() override;

    // Where the card (without its shadow margins) goes for the content shown now, in global
    // coordinates; while rising it sits lower.
    QRect frame(bool rising) const;
    // The card's placement: below the 0.46 line of the screen, centred, lifted to stay 24 points
    // above the bottom; or, once parked, with its top-left corner where it was parked.
    static QRect placedFrame(const QRect& screen, QSize card, bool rising,
                             std::optional<QPoint> parkedTopLeft);

    // The card's shadow for a card of this size, to be drawn over the whole window (the card plus
    // kShadowMargins).
    static QImage shadowImage(QSize card);

    // The card where it is now, in global coordinates.
    QRect cardGeometry() const;
    bool isParked() const { return m_parkedTopLeft.has_value(); }
    QWidget* window() const;
    IntroCardView* view() const { return m_view; }
    bool isAnimating() const;

  private:
    friend class IntroCardWindow;
    // The user dragged the card so its top-left corner is at `topLeft`.
    void userMoved(QPoint topLeft);
    void placeCard(const QRect& card);
    void animate(int ms, const QEasingCurve& curve, std::function<void(double)> step,
                 std::function<void()> done = {});

    QRect m_screen;
    Services m_services;
    QPointer<IntroCardWindow> m_window;
    IntroCardView* m_view = nullptr;
    std::optional<QPoint> m_parkedTopLeft;
    QPointer<QVariantAnimation> m_animation;
    bool m_closed = false;
};

// Makes the real card panels.
class IntroCardPanelFactory final : public IntroCardFactory
{
  public:
    IntroCardPanelFactory(ViewTicker& ticker, Scheduler& scheduler, std::function<bool()> reduceMotion,
                          std::function<bool()> accessibilityGranted, std::function<bool()> translucent = {},
                          PanelShaper* shaper = nullptr);
    std::unique_ptr<IntroCard> create(const QRect& screen, const IntroStepContent& content,
                                      IntroCardCallbacks callbacks) override;

  private:
    ViewTicker& m_ticker;
    Scheduler& m_scheduler;
    std::function<bool()> m_reduceMotion;
    std::function<bool()> m_accessibilityGranted;
    std::function<bool()> m_translucent;
    PanelShaper* m_shaper;
};

} // namespace velquist
