#pragma once

#include "UI/CardAccent.h"
#include "UI/Kit/ViewTicker.h"

#include <QPixmap>
#include <QRegion>
#include <QWidget>

namespace velquist {

// The body of a session card: its translucent rounded fill with the accent around it. Content goes
// in the frame's layout; the frame keeps room around the card for the glow. What does not change
// between pictures (the fill, the glow, the outlines) is drawn once into pixmaps at the screen's
// pixel density; a breathing accent redraws only its band (the glow and the outline, not the
// content) on the shared step clock, and only while the card is on screen.
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
    // What a breath redraws: the glow margin and the outline's band, in this widget's coordinates.
    QRegion accentRegion() const;
    // Whether the card keeps pictures of its layers from its last paint.
    bool holdsPictures() const { return !m_layers.body.isNull(); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    // Frees the cached pictures; the next paint draws them again. For a card out of view.
    void dropPictures();

  private:
    void updateAnimation();
    void onStep();
    void renderLayers();

    ViewTicker& m_ticker;
    CardAccent m_accent;
    ViewTicker::Subscription m_subscription;
    // The card's layers as last drawn, and what they were drawn for.
    struct Layers
    {
        QSize size;
        qreal pixelRatio = 0;
        CardAccent accent;
        QPixmap glow;    // drawn at the accent's full level, painted at the breath's
        QPixmap body;    // the tint, the fill and the plain outline
        QPixmap outline; // the accent's outline at full level, painted at the breath's
    };
    Layers m_layers;
    double m_drawnLevel = -1;
    mutable QRegion m_accentRegion;
    mutable QSize m_accentRegionSize;
};

} // namespace velquist
