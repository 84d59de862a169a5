#pragma once

#include "Platform/LoginItem.h"

#include <string>
#include <vector>

namespace velquist::test {

// A login item that notes each call ("enable", "disable") and answers with what the test set.
class RecordingLoginItem final : public LoginItem
{
  public:
    bool isEnabled() const override { return m_enabled; }
    FileResult enable() override
    {
        calls.push_back("enable");
        if (failure.empty())
            m_enabled = true;
        return {failure};
    }
    FileResult disable() override
    {
        calls.push_back("disable");
        if (failure.empty())
            m_enabled = false;
        return {failure};
    }

    void setEnabled(bool enabled) { m_enabled = enabled; }

    std::vector<std::string> calls;
    // The error every later call reports; empty for success.
    std::string failure;

  private:
    bool m_enabled = false;
};

} // namespace velquist::test
