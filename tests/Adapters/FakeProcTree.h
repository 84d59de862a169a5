#pragma once

#include "support/base/TemporaryFolder.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace velquist::test {

// A temporary folder laid out like /proc: one folder per process with its cmdline, stat and cwd.
class FakeProcTree
{
  public:
    struct Process
    {
        int pid = 0;
        std::vector<std::string> arguments;
        // The terminal's pseudo-terminal number ("pts/3" is 3); none for a process without one.
        std::optional<int> pts;
        std::optional<std::string> cwd;
    };

    const std::filesystem::path& root() const { return m_folder.path(); }

    void add(const Process& process) const
    {
        const auto folder = root() / std::to_string(process.pid);
        std::filesystem::create_directories(folder);
        std::string cmdline;
        for (const auto& argument : process.arguments)
            cmdline += argument + '\0';
        write(folder / "cmdline", cmdline);
        // A command name with a space and ")" in it, as the kernel allows.
        write(folder / "stat", std::to_string(process.pid) + " (a) b) S 1 " + std::to_string(process.pid) +
                                   " " + std::to_string(process.pid) + " " +
                                   std::to_string(process.pts ? ttyNumber(*process.pts) : 0) +
                                   " -1 4194304 0 0\n");
        if (process.cwd)
            std::filesystem::create_symlink(*process.cwd, folder / "cwd");
    }

    // A process that ended: its folder goes, as in /proc.
    void remove(int pid) const { std::filesystem::remove_all(root() / std::to_string(pid)); }

    void write(const std::filesystem::path& path, const std::string& bytes) const
    {
        std::ofstream(path, std::ios::binary) << bytes;
    }

    // The device number of /dev/pts/<index>: major 136 onwards, minor split as the kernel does.
    static std::int64_t ttyNumber(int index)
    {
        const int major = 136 + index / 256;
        const int minor = index % 256;
        return (minor & 0xff) | (major << 8);
    }

  private:
    TemporaryFolder m_folder;
};

} // namespace velquist::test
