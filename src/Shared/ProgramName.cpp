#include "Shared/ProgramName.h"

#include <algorithm>
#include <iterator>

namespace velquist::ProgramName {

std::string baseName(std::string_view path)
{
    const auto slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

bool isInterpreter(std::string_view program)
{
    static constexpr std::string_view prefixes[] = {"python", "perl", "ruby", "node",     "java", "gjs",
                                                    "bash",   "dash", "zsh",  "sh",       "env",  "flatpak",
                                                    "snap",   "wine", "mono", "electron", "sudo", "pkexec"};
    return std::any_of(std::begin(prefixes), std::end(prefixes), [program](std::string_view prefix) {
        if (program.substr(0, prefix.size()) != prefix)
            return false;
        // "python3.11" and "electron25" are interpreters; "shotwell" and "nodejs-app" are not.
        const auto rest = program.substr(prefix.size());
        return std::all_of(rest.begin(), rest.end(),
                           [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
    });
}

} // namespace velquist::ProgramName
