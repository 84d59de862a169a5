#pragma once

#include "Core/AgentGrouping.h"
#include "UI/NotchGeometry.h"
#include "Usage/UsageReading.h"

#include <QPointer>
#include <QWidget>
#include <optional>
#include <vector>

namespace velquist {

class UsageRing;

// The strip level with the top bar: the empty gap over the notch, one icon per agent kind with its
// waiting count on the left, and on the right a moon while snoozed and the usage ring or the
// character. It has no background of its own; the panel's body paints behind it.
class CollapsedBarView : public QWidget
{
    Q_OBJECT
  public:
    enum class RightItem { none, usageRing, character };

    explicit CollapsedBarView(const NotchGeometry& geometry, QWidget* parent = nullptr);

    void setSessions(const std::vector<Session>& displayed);
    // The same from what the panel's model keeps of them: the agent groups, and whether any shows.
    void setSummary(std::vector<AgentGroup> groups, bool hasSessions);
    void setOpen(bool open);
    void setSnoozed(bool snoozed);
    // The "selectedCharacterId" setting: "usage" shows the usage ring, anything else the character.
    void setSelectedCharacterId(const QString& id);
    // The usage store's reading; none while no usage store exists.
    void setUsage(const std::optional<UsageReading>& usage);
    // The character layer that fills the right wing (the bar takes ownership). Without one the wing's
    // room is still reserved, as the bar's width counts it.
    void setCharacterLayer(QWidget* layer);

    const std::vector<AgentGroup>& groups() const { return m_groups; }
    RightItem rightItem() const;
    QSize sizeHint() const override;

    // Which right-wing item shows: the ring for "usage" when a usage store has a window to show; the
    // character for any other id while sessions are displayed.
    static RightItem rightItemFor(const QString& selectedCharacterId,
                                  const std::optional<UsageReading>& usage, bool hasSessions);
    // Where the left wing's icons and the right wing's item and moon are, in the bar's coordinates.
    std::vector<QRectF> iconRects() const;
    QRectF rightItemRect() const;
    QRectF moonRect() const;

  Q_SIGNALS:
    // A press and release on the bar.
    void clicked();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void relayout();

    NotchGeometry m_geometry;
    std::vector<AgentGroup> m_groups;
    bool m_hasSessions = false;
    bool m_open = false;
    bool m_snoozed = false;
    QString m_selectedCharacterId;
    std::optional<UsageReading> m_usage;
    UsageRing* m_ring;
    QPointer<QWidget> m_character;
    bool m_pressed = false;
};

} // namespace velquist
