#pragma once

#include "UI/CardAccent.h"
#include "UI/ViewTicker.h"

#include <QWidget>

namespace velquist {

// The body of a session card: its translucent rounded fill with the accent around it. Content goes
// in the frame's layout; the frame keeps room around the card for the glow. A breathing accent
// redraws on the shared frame clock only while the card is on screen.
class CardFrame : public QWidget
{
    Q_OBJECT
  public:
    static constexpr int kPaddingX = 15;
    static constexpr int kPaddingY = 11;
    static constexpr int kGlowMargin = int(CardAccent::kGlowRadius);

    explicit CardFrame(ViewTicker& ticker, QWidget* parent = nullptr);

    void setAccent(const CardAccent& accent);
    const CardAccent& accent() const { return m_accent; }
    // The card's shape inside the widget (the widget less the glow margin).
    QRectF cardRect() const;
    bool isAnimating() const { return m_subscription.isActive(); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void updateAnimation();

    ViewTicker& m_ticker;
    CardAccent m_accent;
    ViewTicker::Subscription m_subscription;
};

} // namespace velquist
