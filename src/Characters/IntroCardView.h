#pragma once

#include "Characters/IntroCard.h"
#include "Characters/IntroStepContent.h"
#include "Core/Scheduler.h"
#include "UI/ViewTicker.h"

#include <QWidget>

class QTextLayout;

namespace velquist {

class AccessibilityGuide;
class IntroCardButton;
class LogoCat;

// One step of the tour on a dark rounded card 620 points wide: progress bars, a serif title, the
// paragraph, on one step the window-control guide, the cat in the step's mood on the right, and
// the buttons (Return: primary, Escape: skip, left arrow: back). Holds no state of the tour; its
// height follows the content.
class IntroCardView final : public QWidget
{
    Q_OBJECT
  public:
    static constexpr int kWidth = 620;
    static constexpr qreal kRadius = 24;

    IntroCardView(ViewTicker& ticker, Scheduler& scheduler, const IntroStepContent& content,
                  IntroCardCallbacks callbacks, QWidget* parent = nullptr);
    ~IntroCardView() override;

    void setContent(const IntroStepContent& content);
    const IntroStepContent& content() const { return m_content; }
    // Whether the window-control guide shows the switch on.
    void setAccessibilityGranted(bool granted);
    void setReduceMotion(bool reduce);
    // Stops every timer of the card for good (the cat stands still), so the card may outlive its
    // scheduler while it fades out.
    void freeze();

    // The buttons shown now, left to right, by title.
    QStringList buttonTitles() const;
    // Clicks the button of this title (for tests and assistive tools); false when none shows.
    bool clickButton(const QString& title);

    QSize sizeHint() const override { return {kWidth, m_height}; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void rebuild();
    void paintBackground(QPainter& painter) const;
    void paintWords(QPainter& painter) const;

    ViewTicker& m_ticker;
    Scheduler& m_scheduler;
    IntroStepContent m_content;
    IntroCardCallbacks m_callbacks;
    bool m_granted = false;
    bool m_reduceMotion = false;
    int m_height = 0;
    LogoCat* m_cat = nullptr;
    AccessibilityGuide* m_guide = nullptr;
    std::vector<IntroCardButton*> m_buttons;
    // Laid out by rebuild(): the text blocks' tops.
    qreal m_titleTop = 0;
    qreal m_bodyTop = 0;
};

} // namespace velquist
