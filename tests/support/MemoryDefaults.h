#pragma once

#include "Platform/UserDefaults.h"

namespace velquist::test {

// In-memory user defaults that count how often they would have been saved.
class MemoryDefaults final : public UserDefaults
{
  public:
    using UserDefaults::UserDefaults;
    int saveCount() const { return m_saves; }

  protected:
    void persist(const nlohmann::json&) override { ++m_saves; }

  private:
    int m_saves = 0;
};

} // namespace velquist::test
