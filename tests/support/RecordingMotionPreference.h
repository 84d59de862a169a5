#pragma once

#include "Platform/MotionPreference.h"

namespace velquist::test {

// A desktop motion setting the test sets; `set` announces it like a real change.
class RecordingMotionPreference final : public MotionPreference
{
  public:
    bool canReportReduceMotion() const override { return m_known; }
    bool reducesMotion() const override { return m_known && m_reduce; }
    void set(bool reduce)
    {
        m_known = true;
        m_reduce = reduce;
        Q_EMIT changed();
    }

  private:
    bool m_known = false;
    bool m_reduce = false;
};

} // namespace velquist::test
