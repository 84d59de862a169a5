#include "Platform/Linux/LinuxTrash.h"
#include "support/base/TemporaryHome.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <string>

using namespace velquist;
namespace fs = std::filesystem;

namespace {

// Qt finds the home trash through XDG_DATA_HOME; point it into the temporary home for the test.
class ScopedDataHome
{
  public:
    explicit ScopedDataHome(const fs::path& path)
    {
        if (const char* value = std::getenv("XDG_DATA_HOME"))
            m_previous = value;
        std::filesystem::create_directories(path);
        ::setenv("XDG_DATA_HOME", path.c_str(), 1);
    }
    ~ScopedDataHome()
    {
        if (m_previous)
            ::setenv("XDG_DATA_HOME", m_previous->c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
    }

  private:
    std::optional<std::string> m_previous;
};

} // namespace

TEST(LinuxTrashTest, MovesOnlyTheApplicationsOwnFiles)
{
    test::TemporaryHome home;
    ScopedDataHome dataHome(home.path() / ".local/share");
    const fs::path app = home.write("opt/velquist/bin/velquist", "app");
    const fs::path users = home.write("opt/velquist/bin/notes.txt", "the user's");
    LinuxTrash trash({app});

    EXPECT_FALSE(trash.moveToTrash(users));
    EXPECT_FALSE(trash.moveToTrash(home.path() / "opt/velquist/bin/../bin/notes.txt"));
    EXPECT_TRUE(fs::exists(users));

    ASSERT_TRUE(trash.moveToTrash(home.path() / "opt/velquist/bin/./velquist"));
    EXPECT_FALSE(fs::exists(app));
    EXPECT_TRUE(fs::exists(home.path() / ".local/share/Trash/files/velquist"));
}

TEST(LinuxTrashTest, AFileThatIsGoneIsReported)
{
    test::TemporaryHome home;
    ScopedDataHome dataHome(home.path() / ".local/share");
    const fs::path app = home.path() / "opt/velquist/bin/velquist";
    LinuxTrash trash({app});
    const FileResult result = trash.moveToTrash(app);
    EXPECT_FALSE(result);
    EXPECT_FALSE(result.error.empty());
}
