#pragma once

#include "Characters/IntroCard.h"
#include "Characters/IntroStepContent.h"
#include "Core/Scheduler.h"
#include "UI/Kit/ViewTicker.h"

#include <QPixmap>
#include <QWidget>
#include <optional>
#include <vector>

class QTextLayout;

namespace velquist {

class AccessibilityGuide;
class IntroCardButton;
class LogoCat;

// One step of the tour on a dark rounded card 620 points wide: progress bars, a serif title, the
// paragraph, on one step the window-control guide, the cat in the step's mood on the right, and
// the buttons (Return: primary, Escape: skip, left arrow: back). Holds no state of the tour; its
// height follows the content.
//
// A new step on screen eases in over 0.28 s: the words and buttons of the old step fade out as the
// new ones fade in, the height moves to the new content's (the buttons riding on the bottom edge),
// and the progress bars spring to their new colours. With reduce motion, off screen or once frozen
// the content changes at once.
class IntroCardView final : public QWidget
{
    Q_OBJECT
  public:
    static constexpr int kWidth = 620;
    static constexpr qreal kRadius = 24;
    static constexpr double kTransitionSeconds = 0.28;
    static constexpr double kBarsResponse = 0.4;

    IntroCardView(ViewTicker& ticker, Scheduler& scheduler, const IntroStepContent& content,
                  IntroCardCallbacks callbacks, QWidget* parent = nullptr);
    ~IntroCardView() override;

    void setContent(const IntroStepContent& content);
    const IntroStepContent& content() const { return m_content; }
    // Whether the window-control guide shows the switch on.
    void setAccessibilityGranted(bool granted);
    void setReduceMotion(bool reduce);
    // Stops every timer of the card for good (the cat stands still, a step change under way ends
    // at once), so the card may outlive its scheduler and ticker while it fades out.
    void freeze();
    // Whether a step change is still easing in.
    bool isTransitioning() const { return m_transition.has_value(); }

    // The buttons shown now, left to right, by title.
    QStringList buttonTitles() const;
    // Clicks the button of this title (for tests and assistive tools); false when none shows.
    bool clickButton(const QString& title);

    // The height shown now; while a step change eases in, between the old and the new content's.
    QSize sizeHint() const override { return {kWidth, m_shownHeight}; }

  Q_SIGNALS:
    // The card's height changed while a step change eased in; its window follows.
    void heightChanged();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    // What the old step looked like, faded out while the new one comes in.
    struct Transition
    {
        Clock::Monotonic start;
        int fromHeight = 0;
        QPixmap words;   // the old title, body and guide, at their places
        QPixmap buttons; // the old button row, drawn on the moving bottom edge
        int buttonsFromBottom = 0;
        std::vector<QColor> bars;
    };

    void rebuild();
    void startTransition();
    void stepTransition();
    void endTransition();
    // How far the words, buttons and height have eased (0 to 1), and the bars have sprung.
    double eased() const;
    double sprung() const;
    void placeButtons();
    // Where the words end for now: above the buttons on the moving bottom edge.
    int wordsBottom() const;
    QColor barColour(int index) const;
    void paintBackground(QPainter& painter) const;
    void paintBars(QPainter& painter) const;
    void paintWords(QPainter& painter) const;

    ViewTicker& m_ticker;
    Scheduler& m_scheduler;
    IntroStepContent m_content;
    IntroCardCallbacks m_callbacks;
    bool m_granted = false;
    bool m_reduceMotion = false;
    bool m_frozen = false;
    // The content's own height, and the one shown (they differ while a step change eases in).
    int m_height = 0;
    int m_shownHeight = 0;
    LogoCat* m_cat = nullptr;
    AccessibilityGuide* m_guide = nullptr;
    std::vector<IntroCardButton*> m_buttons;
    // Where each button rests for the content's own height.
    std::vector<QPoint> m_buttonRest;
    int m_buttonsTop = 0;
    std::optional<Transition> m_transition;
    ViewTicker::Subscription m_transitionTick;
    // Laid out by rebuild(): the text blocks' tops.
    qreal m_titleTop = 0;
    qreal m_bodyTop = 0;
};

} // namespace velquist
