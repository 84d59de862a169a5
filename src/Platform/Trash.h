#pragma once

#include "Shared/FileUtil.h"

#include <filesystem>

namespace velquist {

// The user's trash, for the application's own files when it removes itself.
class Trash
{
  public:
    virtual ~Trash() = default;
    // Moves `path` to the trash, where the user can still restore it.
    virtual FileResult moveToTrash(const std::filesystem::path& path) = 0;
    // Shows `path` selected in the file manager, so the user can remove it by hand; false when no
    // file manager could be asked.
    virtual bool reveal(const std::filesystem::path& path) = 0;
};

} // namespace velquist
