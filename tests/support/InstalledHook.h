#pragma once

#include "Shared/Json.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace velquist::test {

// The command our installation put into Claude Code's settings under `home` for `event`; empty
// when there is none.
inline std::string installedClaudeHook(const std::filesystem::path& home, const std::string& event)
{
    std::ifstream file(home / ".claude/settings.json");
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const auto settings = Json::parse(text);
    if (!settings)
        return {};
    for (const auto& group : (*settings)["hooks"][event]) {
        for (const auto& entry : group["hooks"]) {
            const std::string command = entry.value("command", "");
            if (command.find("quorvel") != std::string::npos)
                return command;
        }
    }
    return {};
}

} // namespace velquist::test
