#pragma once

#include "UI/AgentIcon.h"

#include <QColor>
#include <QPixmap>
#include <optional>

namespace velquist {

// A session's agent icon (20 pt) with an optional status pip at its top-right corner. The pip
// reaches past the icon, so the widget is larger than the icon: the icon's top-left is at
// `iconOrigin()`.
class SessionMark : public AgentIcon
{
    Q_OBJECT
  public:
    static constexpr qreal kIconSize = 20;
    static constexpr qreal kPipSize = 8;

    SessionMark(AgentKind kind, std::optional<QColor> pip, bool isSpinning, QWidget* parent = nullptr,
                ViewTicker* ticker = nullptr);

    void setPip(std::optional<QColor> pip);
    std::optional<QColor> pip() const { return m_pip; }
    QSize sizeHint() const override;
    static QPointF iconOrigin();
    // The pip's outer square, in the widget's coordinates.
    static QRectF pipRect();

  protected:
    void paintEvent(QPaintEvent* event) override;
    QRectF iconBox() const override;

  private:
    // The pip drawn once at the density of the device it lands on: a spinning icon repaints the
    // pip it overlaps at every step.
    const QPixmap& pipPicture(qreal ratio) const;

    std::optional<QColor> m_pip;
    mutable QPixmap m_pipPicture;
    mutable QColor m_pipPictureColour;
};

} // namespace velquist
