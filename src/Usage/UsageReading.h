#pragma once

#include "Usage/ClaudeUsageModels.h"
#include "Usage/UsageProvider.h"

#include <optional>

namespace velquist {

// What the panel's usage views show of the usage store: whether usage is on, the latest quota
// (none until the first good read) and whose it is. The store's owner hands a fresh one to the views
// on every change.
struct UsageReading
{
    bool isEnabled = false;
    std::optional<QuotaData> quota;
    UsageProvider provider = UsageProvider::claude;

    bool operator==(const UsageReading&) const = default;
};

} // namespace velquist
