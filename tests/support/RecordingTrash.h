#pragma once

#include "Platform/Trash.h"

#include <filesystem>
#include <vector>

namespace velquist::test {

// A trash that moves nothing: it notes the paths it was given and answers with what the test set.
class RecordingTrash final : public Trash
{
  public:
    FileResult moveToTrash(const std::filesystem::path& path) override
    {
        trashed.push_back(path);
        return {failure};
    }
    bool reveal(const std::filesystem::path& path) override
    {
        revealed.push_back(path);
        return true;
    }

    std::vector<std::filesystem::path> trashed;
    std::vector<std::filesystem::path> revealed;
    // The error every move reports; empty for success.
    std::string failure;
};

} // namespace velquist::test
