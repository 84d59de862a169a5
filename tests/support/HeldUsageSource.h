#pragma once

#include "Usage/UsageSource.h"

#include <gtest/gtest.h>
#include <vector>

namespace velquist::test {

// A usage source whose fetches wait until the test answers them, oldest first.
class HeldUsageSource final : public UsageSource
{
  public:
    void fetch(Completion done) override { pending.push_back(std::move(done)); }
    void answer(UsageResult<QuotaData> outcome)
    {
        ASSERT_FALSE(pending.empty());
        auto done = std::move(pending.front());
        pending.erase(pending.begin());
        done(std::move(outcome));
    }
    int count() const { return static_cast<int>(pending.size()); }

    std::vector<Completion> pending;
};

// A reading of windows named by their ids, each at its percentage.
inline QuotaData quotaOf(const std::vector<std::pair<std::string, double>>& windows)
{
    QuotaData data;
    for (const auto& [id, percent] : windows)
        data.windows.push_back({id, id, percent, std::nullopt});
    return data;
}

} // namespace velquist::test
