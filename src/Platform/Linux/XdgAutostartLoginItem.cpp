#include "Platform/Linux/XdgAutostartLoginItem.h"

#include <sstream>
#include <system_error>

namespace velquist {

XdgAutostartLoginItem::XdgAutostartLoginItem(std::filesystem::path executable, std::filesystem::path entry)
    : m_executable(std::move(executable)), m_entry(std::move(entry))
{
}

std::filesystem::path XdgAutostartLoginItem::entryIn(const std::filesystem::path& home)
{
    return home / ".config" / "autostart" / "velquist.desktop";
}

std::string XdgAutostartLoginItem::execArgument(const std::string& path)
{
    std::string quoted = "\"";
    for (const char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    std::string value;
    for (const char c : quoted) {
        if (c == '\\')
            value += "\\\\";
        else if (c == '%')
            value += "%%";
        else
            value += c;
    }
    return value;
}

bool XdgAutostartLoginItem::isEnabled() const
{
    const FileRead read = FileUtil::read(m_entry, 64 * 1024);
    if (!read.ok())
        return false;
    // A session skips an entry marked hidden or switched off, so it does not count as registered.
    std::istringstream lines(read.bytes);
    std::string line;
    bool inEntryGroup = false;
    while (std::getline(lines, line)) {
        if (line.starts_with('['))
            inEntryGroup = line == "[Desktop Entry]";
        else if (inEntryGroup && (line == "Hidden=true" || line == "X-GNOME-Autostart-enabled=false"))
            return false;
    }
    return true;
}

FileResult XdgAutostartLoginItem::enable()
{
    const std::string path = m_executable.string();
    for (const char c : path) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return {"the application's path holds a control character: " + path};
    }
    std::error_code ec;
    std::filesystem::create_directories(m_entry.parent_path(), ec);
    if (ec)
        return {"could not create " + m_entry.parent_path().string() + ": " + ec.message()};
    const std::string text = "[Desktop Entry]\n"
                             "Type=Application\n"
                             "Name=Velquist\n"
                             "Exec=" +
                             execArgument(path) +
                             "\n"
                             "Terminal=false\n"
                             "X-GNOME-Autostart-enabled=true\n";
    return FileUtil::writeAtomically(m_entry, text, 0644, FileUtil::ModePolicy::force);
}

FileResult XdgAutostartLoginItem::disable()
{
    std::error_code ec;
    std::filesystem::remove(m_entry, ec);
    if (ec)
        return {"could not remove " + m_entry.string() + ": " + ec.message()};
    return {};
}

} // namespace velquist
