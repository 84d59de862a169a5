#pragma once

#include "UI/NotchGeometry.h"
#include "UI/NotchShadow.h"

#include <QPainterPath>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

class QGraphicsOpacityEffect;
class QPainter;

namespace velquist {

class AnimatedValue;
class CollapsedBarView;

// The panel's black body hanging from the screen's top edge: the collapsed bar on top and the sheet
// (peek line or session list) under it, in one notch-shaped outline that this widget paints, so the
// rounded corners are smooth and the children need no backgrounds. Every change of openness, width,
// sheet height and concealment moves along the panel's motion curve.
class NotchBody : public QWidget
{
    Q_OBJECT
  public:
    // `bar` becomes the body's child.
    NotchBody(const NotchGeometry& geometry, CollapsedBarView* bar, QWidget* parent = nullptr);
    ~NotchBody() override;

    const NotchGeometry& geometry() const { return m_geometry; }
    CollapsedBarView* bar() const { return m_bar; }

    // Peeking or expanded.
    void setOpen(bool open);
    bool isOpen() const { return m_open; }
    // The collapsed bar's width (the view model's).
    void setCollapsedWidth(qreal width);
    // How tall the sheet is while open: the height last reported by `sheetHeightChanged` and
    // accepted by the view model. 0 is taken too, so an emptied sheet does not stay at an old height.
    void setSheetHeight(qreal height);
    // Hidden while idle: transparent and letting clicks through.
    void setConcealed(bool concealed);
    // The sheet's content; the body takes ownership and deletes the one it replaces (none: empty).
    void setSheetContent(QWidget* content);
    QWidget* sheetContent() const { return m_content; }
    // Targets reached at once, without animation (for tests and pictures).
    void setAnimated(bool animated);
    // Moves every running animation to `msec` into its run (for pictures and measurements).
    void seek(int msec);

    // The body's outline and rectangle as drawn now, in this widget's coordinates.
    QRectF bodyRect() const;
    QPainterPath shape() const;
    qreal topRadius() const;
    qreal bottomRadius() const;
    qreal shadowOpacity() const;
    qreal opacity() const;
    // The open width: the gap and both wings, at least 760.
    qreal openWidth() const { return m_geometry.openWidth(); }
    // The content's natural height at the open width.
    qreal naturalSheetHeight() const;
    // The tallest the body may be, and so the most the sheet may take under the bar.
    static constexpr qreal kMaximumHeight = NotchGeometry::kMaximumOpenHeight;
    qreal availableSheetHeight() const { return kMaximumHeight - m_geometry.barHeight; }

  Q_SIGNALS:
    // The content's natural height changed (the view model's reportSheetHeight).
    void sheetHeightChanged(qreal height);
    // A click on the bar.
    void barClicked();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void retarget();
    void relayout();
    void measureContent();
    bool isMoving() const;
    void paintBody(QPainter& painter) const;

    NotchGeometry m_geometry;
    CollapsedBarView* m_bar;
    QWidget* m_sheet; // clips the content to the sheet's animated height
    QPointer<QWidget> m_content;
    QGraphicsOpacityEffect* m_fade = nullptr;
    AnimatedValue* m_width;
    AnimatedValue* m_sheetShown;
    AnimatedValue* m_top;
    AnimatedValue* m_bottom;
    AnimatedValue* m_shadow;
    AnimatedValue* m_opacity;
    bool m_open = false;
    bool m_concealed = false;
    qreal m_collapsedWidth;
    qreal m_sheetHeight = 0;
    qreal m_lastReported = -1;
    // NotchShadow::image() keeps its last picture, so drawing the body is not const for it.
    mutable NotchShadow m_shadowCache;
    // The body drawn at rest, and what it was drawn for.
    struct StillKey
    {
        QSize size;
        qreal pixelRatio = 0;
        QRectF body;
        qreal top = 0, bottom = 0, shadow = 0, opacity = 0;
        bool operator==(const StillKey&) const = default;
    };
    QPixmap m_still;
    StillKey m_stillKey;
};

} // namespace velquist
