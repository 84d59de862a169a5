#pragma once

#include "Platform/Trash.h"

#include <filesystem>
#include <vector>

namespace velquist {

// The freedesktop trash (through Qt) and the file manager's ShowItems call over D-Bus. Only the
// files it was built with may go to the trash: whatever a caller asks, it never takes anything of
// the user's.
class LinuxTrash final : public Trash
{
  public:
    explicit LinuxTrash(std::vector<std::filesystem::path> ownFiles);

    FileResult moveToTrash(const std::filesystem::path& path) override;
    bool reveal(const std::filesystem::path& path) override;

  private:
    std::vector<std::filesystem::path> m_ownFiles;
};

} // namespace velquist
