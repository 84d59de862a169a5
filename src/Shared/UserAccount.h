#pragma once

#include <optional>
#include <string>
#include <sys/types.h>

namespace velquist {

// The current user's entry of the password database, read from /etc/passwd directly: the hook
// client is linked statically, where the name-service switch cannot be relied on.
struct PasswdEntry
{
    std::string name;
    std::string home;
    std::string shell;
};

namespace UserAccount {

// The entry of `uid` in the passwd file at `passwdPath`, or none.
std::optional<PasswdEntry> lookup(uid_t uid, const std::string& passwdPath = "/etc/passwd");

// HOME when it is an absolute path, else the password database's home folder, else "/".
std::string homeDirectory();

// The user's login shell from the password database; "/bin/sh" when it has none.
std::string loginShell();

} // namespace UserAccount
} // namespace velquist
