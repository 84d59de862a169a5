#include "Core/LegacySupportMigration.h"
#include "support/base/TemporaryHome.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace velquist;
namespace fs = std::filesystem;

namespace {

void write(const fs::path& file, const std::string& text)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text;
}

std::string read(const fs::path& file)
{
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace

TEST(LegacySupportMigrationTest, Cases)
{
    struct Case
    {
        const char* name;
        std::vector<std::pair<std::string, std::string>> oldFiles;
        std::vector<std::pair<std::string, std::string>> newFiles;
        bool oldFolderExists;
        bool newFolderCreated;
        bool oldFolderRemains;
        std::vector<std::pair<std::string, std::string>> expectedNew;
    };
    const Case cases[] = {
        {"no legacy folder", {}, {}, false, false, false, {}},
        {"empty legacy folder", {}, {}, true, true, false, {}},
        {"files move over",
         {{"sessions.json", "old-sessions"}, {"bin/quorvel", "helper"}},
         {},
         true,
         true,
         false,
         {{"sessions.json", "old-sessions"}, {"bin/quorvel", "helper"}}},
        {"conflict keeps both",
         {{"sessions.json", "old-sessions"}, {"app-path", "old-path"}},
         {{"sessions.json", "new-sessions"}},
         true,
         true,
         true,
         {{"sessions.json", "new-sessions"}, {"app-path", "old-path"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TemporaryFolder folder;
        const fs::path from = folder.path() / "Tarrowin";
        const fs::path to = folder.path() / "Velquist";
        if (c.oldFolderExists)
            fs::create_directories(from);
        for (const auto& [name, text] : c.oldFiles)
            write(from / name, text);
        for (const auto& [name, text] : c.newFiles)
            write(to / name, text);

        LegacySupportMigration::run(from, to);

        EXPECT_EQ(fs::exists(to), c.newFolderCreated || !c.newFiles.empty());
        EXPECT_EQ(fs::exists(from), c.oldFolderRemains);
        for (const auto& [name, text] : c.expectedNew)
            EXPECT_EQ(read(to / name), text) << name;
        if (c.oldFolderRemains) {
            for (const auto& [name, text] : c.oldFiles) {
                if (read(to / name) != text) {
                    EXPECT_EQ(read(from / name), text) << "conflicting legacy item must stay: " << name;
                }
            }
        }
        if (c.newFolderCreated && c.newFiles.empty()) {
            struct stat info
            {
            };
            ::stat(to.c_str(), &info);
            EXPECT_EQ(info.st_mode & 0777, 0700u);
        }
    }
}
