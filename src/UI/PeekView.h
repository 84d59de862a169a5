#pragma once

#include "Core/Session.h"
#include "Platform/Clock.h"

#include <QString>
#include <QWidget>

namespace velquist {

class MetaPill;
class SessionMark;

// One line under the notch for the session that needs the user: its agent, folder, what it asks and
// how long it has waited. Read-only; the panel handles clicks.
class PeekView : public QWidget
{
    Q_OBJECT
  public:
    static constexpr qreal kWidth = 760;
    static constexpr qreal kPaddingX = 16;
    static constexpr qreal kPaddingY = 13;
    static constexpr qreal kSpacing = 11;

    PeekView(const Session& session, Clock::WallTime now, QWidget* parent = nullptr);

    void setSession(const Session& session, Clock::WallTime now);
    const Session& session() const { return m_session; }
    QSize sizeHint() const override;
    bool hasHeightForWidth() const override { return false; }

    // "No folder" for an unknown folder, else the folder's own name.
    static QString title(const Session& session);
    // The request's summary, the first question, or "Needs you".
    static QString subtitle(const Session& session);
    // The waiting time shows once it is past a minute.
    static bool showsElapsed(const Session& session, Clock::WallTime now);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void relayout();
    QRectF textRect() const;

    Session m_session;
    Clock::WallTime m_now;
    SessionMark* m_mark;
    MetaPill* m_pill;
};

} // namespace velquist
