#include "Shared/UserAccount.h"

#include <cstdlib>
#include <fstream>
#include <string_view>
#include <unistd.h>

namespace velquist::UserAccount {

std::optional<PasswdEntry> lookup(uid_t uid, const std::string& passwdPath)
{
    std::ifstream in(passwdPath);
    std::string line;
    while (std::getline(in, line)) {
        // name:password:uid:gid:gecos:home:shell
        std::string_view rest(line);
        std::string_view fields[7];
        int count = 0;
        while (count < 7) {
            const auto colon = rest.find(':');
            fields[count++] = rest.substr(0, colon);
            if (colon == std::string_view::npos)
                break;
            rest.remove_prefix(colon + 1);
        }
        if (count < 6)
            continue;
        const std::string uidText(fields[2]);
        char* end = nullptr;
        const unsigned long value = std::strtoul(uidText.c_str(), &end, 10);
        if (uidText.empty() || *end != '\0' || value != uid)
            continue;
        return PasswdEntry{std::string(fields[0]), std::string(fields[5]),
                           count == 7 ? std::string(fields[6]) : std::string()};
    }
    return std::nullopt;
}

std::string homeDirectory()
{
    if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        return home;
    if (auto entry = lookup(getuid()); entry && !entry->home.empty() && entry->home[0] == '/')
        return entry->home;
    return "/";
}

std::string loginShell()
{
    if (auto entry = lookup(getuid()); entry && !entry->shell.empty() && entry->shell[0] == '/')
        return entry->shell;
    return "/bin/sh";
}

} // namespace velquist::UserAccount
