#pragma once

#include "Usage/ClaudeUsageModels.h"

#include <functional>
#include <variant>

namespace velquist {

// A provider's answer: a reading or the reason there is none.
template <typename Value> using UsageResult = std::variant<Value, UsageError>;

// One account's usage, read on demand. The reading's blocking work runs on a worker; the answer
// comes back on the main thread, exactly once per fetch unless the source is destroyed first.
class UsageSource
{
  public:
    using Completion = std::function<void(UsageResult<QuotaData>)>;

    virtual ~UsageSource() = default;
    // Starts one reading. The caller keeps two fetches of one source from overlapping.
    virtual void fetch(Completion done) = 0;
};

} // namespace velquist
