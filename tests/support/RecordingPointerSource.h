#pragma once

#include "Platform/PointerSource.h"

namespace velquist::test {

// A pointer the test moves and clicks. Like the real source it reports only while someone holds an
// interest, and it notes how many do.
class RecordingPointerSource final : public PointerSource
{
  public:
    // Moves the pointer; reports the move when someone listens.
    void moveTo(QPoint position)
    {
        m_position = position;
        if (m_interest > 0)
            Q_EMIT moved(position);
    }
    void press(Qt::MouseButton button)
    {
        if (m_available && m_interest > 0 && m_position)
            Q_EMIT buttonPressed(*m_position, button);
    }
    void setAvailable(bool available) { m_available = available; }
    int interest() const { return m_interest; }

    bool canTrackPosition() const override { return m_available; }
    bool canWatchPointer() const override { return m_available; }
    std::optional<QPoint> position() const override { return m_available ? m_position : std::nullopt; }
    void acquire() override { ++m_interest; }
    void release() override
    {
        if (m_interest > 0)
            --m_interest;
    }

  private:
    std::optional<QPoint> m_position;
    int m_interest = 0;
    bool m_available = true;
};

} // namespace velquist::test
