#pragma once

#include "Platform/LoginItem.h"

#include <filesystem>
#include <string>

namespace velquist {

// Start at login through an XDG autostart entry, ~/.config/autostart/velquist.desktop, which
// every freedesktop session reads at login.
class XdgAutostartLoginItem final : public LoginItem
{
  public:
    // `executable` is what the entry starts; `entry` the desktop file it writes.
    XdgAutostartLoginItem(std::filesystem::path executable, std::filesystem::path entry);

    // <home>/.config/autostart/velquist.desktop.
    static std::filesystem::path entryIn(const std::filesystem::path& home);
    // `path` as one argument of a desktop entry's Exec key: double-quoted with the characters the
    // quoting reserves escaped, then escaped again as a string value, and "%" doubled.
    static std::string execArgument(const std::string& path);

    bool isEnabled() const override;
    FileResult enable() override;
    FileResult disable() override;

  private:
    std::filesystem::path m_executable;
    std::filesystem::path m_entry;
};

} // namespace velquist
