#include "UI/SubagentDisplay.h"

#include <algorithm>

namespace velquist::SubagentDisplay {

std::vector<SubagentRun> visible(const std::vector<SubagentRun>& runs)
{
    if (runs.size() <= kMaxListed)
        return runs;
    return {runs.begin(), runs.begin() + kMaxListed};
}

std::optional<std::string> summary(std::int64_t running, std::int64_t done)
{
    std::string text;
    const auto add = [&text](const std::string& part) {
        if (!text.empty())
            text += " \u00b7 ";
        text += part;
    };
    // Counts come from agent events: keep the arithmetic clear of overflow.
    constexpr std::int64_t kBound = std::int64_t(1) << 40;
    running = std::clamp<std::int64_t>(running, -kBound, kBound);
    done = std::clamp<std::int64_t>(done, -kBound, kBound);
    const std::int64_t hidden = running - static_cast<std::int64_t>(kMaxListed);
    if (hidden >= 1)
        add("+" + std::to_string(hidden) + " more");
    if (done >= 1) {
        if (running < 1)
            add(std::to_string(done) + " subagent" + (done == 1 ? "" : "s") + " done");
        else
            add(std::to_string(done) + " of " + std::to_string(running + done) + " done");
    }
    if (text.empty())
        return std::nullopt;
    return text;
}

} // namespace velquist::SubagentDisplay
