#pragma once

#include "Platform/Clock.h"
#include "Shared/AgentKind.h"
#include "UI/Kit/ViewTicker.h"

#include <QColor>
#include <QString>
#include <QWidget>

class QPainter;

namespace velquist {

// Which mark and tint an agent kind is drawn with.
struct AgentIconStyle
{
    QString asset; // a brand glyph name ("brand-claude", ...)
    QColor tint;
    bool operator==(const AgentIconStyle&) const = default;
};

AgentIconStyle iconStyle(AgentKind kind);

// An agent's mark in its tint, optionally turning clockwise once every 4 s in 20 steps a second,
// every spinning icon at the same angle at the same moment.
class AgentIcon : public QWidget
{
    Q_OBJECT
  public:
    // A spinning icon turns on the frames of `ticker`, whose clock gives the angle. Without a ticker
    // (still pictures) it is drawn at the angle of the moment it is painted, by the system clock.
    AgentIcon(AgentKind kind, qreal size, bool isSpinning, QWidget* parent = nullptr,
              ViewTicker* ticker = nullptr);

    AgentKind kind() const { return m_kind; }
    void setKind(AgentKind kind);
    bool isSpinning() const { return m_spinning; }
    void setSpinning(bool spinning);
    // Whether the spin is being drawn now: spinning, visible and on a ticker.
    bool isTurning() const { return m_subscription.isActive(); }
    // What a step of the spin redraws: the turning mark's reach, in this widget's coordinates.
    QRect turnRect() const;
    QSize sizeHint() const override;

    // The mark of `asset` (or the grey unknown mark when there is no such mark) in `tint`, fitted
    // into `box` and turned by `degrees` about its centre.
    static void paintGlyph(QPainter& painter, const QRectF& box, const QString& asset, const QColor& tint,
                           qreal degrees = 0);
    static void paint(QPainter& painter, const QRectF& box, AgentKind kind, qreal degrees = 0);
    // The turn of a spinning icon at `time`: (t mod 4) / 4 of a full turn, t in seconds since
    // 1 January 2001 (UTC), the remainder keeping t's sign.
    static qreal spinAngle(Clock::WallTime time);

  protected:
    void paintEvent(QPaintEvent* event) override;
    // Draws the icon at its angle of the moment with `painter` (the widget's own).
    void paintIcon(QPainter& painter);
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    // Where the icon is drawn inside the widget; centred by default.
    virtual QRectF iconBox() const;
    qreal iconSize() const { return m_size; }

  private:
    // The turn advances only while the icon can be seen (a collapsed sheet hides its cards).
    void updateAnimation();
    void onStep();
    AgentKind m_kind;
    qreal m_size;
    bool m_spinning = false;
    ViewTicker* m_ticker;
    const Clock& m_clock;
    // The angle last drawn: a tick that does not reach the next step draws nothing.
    qreal m_drawnAngle = 0;
    ViewTicker::Subscription m_subscription;
};

} // namespace velquist
