#pragma once

#include "Core/AgentInquiry.h"
#include "Core/Session.h"

#include <optional>
#include <string>

namespace velquist::test {

// A question with `options` options labelled "option 0", "option 1", ...
inline AgentQuestion question(std::string text, int options, bool multi = false,
                              std::optional<std::string> header = {})
{
    AgentQuestion q;
    q.question = std::move(text);
    for (int i = 0; i < options; ++i)
        q.options.push_back({"option " + std::to_string(i), std::nullopt});
    q.header = std::move(header);
    q.multiSelect = multi;
    return q;
}

// A request to run a shell command, summarised as `summary`.
inline PermissionRequest request(std::optional<ToolDetail> tool, bool alwaysAllow = false,
                                 std::string summary = "Run make")
{
    return PermissionRequest{"Bash", std::move(summary), std::move(tool), alwaysAllow};
}

} // namespace velquist::test
