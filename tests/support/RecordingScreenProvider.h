#pragma once

#include "Platform/ScreenProvider.h"

#include <functional>
#include <vector>

namespace velquist::test {

// Screens the test sets; counts how often they were read and can announce a change by hand.
class RecordingScreenProvider final : public ScreenProvider
{
  public:
    std::vector<ScreenInfo> screens() const override
    {
        ++reads;
        return attached;
    }
    bool canReportNotch() const override { return reportsNotch; }
    void setChangeHandler(std::function<void()> handler) override { m_handler = std::move(handler); }

    // Replaces the attached screens and tells the handler, as a real screen change would.
    void change(std::vector<ScreenInfo> screens)
    {
        attached = std::move(screens);
        if (m_handler)
            m_handler();
    }

    std::vector<ScreenInfo> attached;
    bool reportsNotch = false;
    mutable int reads = 0;

  private:
    std::function<void()> m_handler;
};

} // namespace velquist::test
