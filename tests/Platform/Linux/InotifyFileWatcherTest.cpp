#include "Platform/Linux/InotifyFileWatcher.h"
#include "support/WaitUntil.h"
#include "support/base/TemporaryHome.h"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace velquist;
namespace fs = std::filesystem;

namespace {

struct OpenFile
{
    explicit OpenFile(const fs::path& path) : fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~OpenFile() { ::close(fd); }
    int fd;
};

void append(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::app) << text;
}

} // namespace

// Each change a tailer must notice reaches the watch of the open file.
TEST(InotifyFileWatcherTest, ReportsWritesAndLinkChangesOfTheOpenFile)
{
    struct Case
    {
        const char* name;
        void (*change)(const fs::path& file, const fs::path& folder);
        unsigned expected;
    };
    const Case cases[] = {
        {"append", [](const fs::path& f, const fs::path&) { append(f, "more\n"); },
         FileWatcher::contentChanged},
        {"truncate", [](const fs::path& f, const fs::path&) { fs::resize_file(f, 0); },
         FileWatcher::contentChanged},
        {"unlink", [](const fs::path& f, const fs::path&) { fs::remove(f); }, FileWatcher::linkChanged},
        {"rename over",
         [](const fs::path& f, const fs::path& d) {
             append(d / "other", "x\n");
             fs::rename(d / "other", f);
         },
         FileWatcher::linkChanged},
        {"rename away", [](const fs::path& f, const fs::path& d) { fs::rename(f, d / "moved"); },
         FileWatcher::linkChanged},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TemporaryFolder folder;
        const auto file = folder.path() / "t.jsonl";
        append(file, "line\n");
        InotifyFileWatcher watcher;
        ASSERT_TRUE(watcher.canWatch());
        OpenFile open(file);
        unsigned seen = 0;
        const auto id = watcher.watch(open.fd, [&](unsigned changes) { seen |= changes; });
        ASSERT_NE(id, 0u);
        c.change(file, folder.path());
        EXPECT_TRUE(test::waitUntil([&] { return (seen & c.expected) == c.expected; }));
        watcher.unwatch(id);
    }
}

TEST(InotifyFileWatcherTest, WatchesOfOneFileAreIndependent)
{
    test::TemporaryFolder folder;
    const auto file = folder.path() / "t.jsonl";
    append(file, "");
    InotifyFileWatcher watcher;
    OpenFile first(file);
    OpenFile second(file);
    int firstCalls = 0;
    int secondCalls = 0;
    const auto a = watcher.watch(first.fd, [&](unsigned) { ++firstCalls; });
    const auto b = watcher.watch(second.fd, [&](unsigned) { ++secondCalls; });
    ASSERT_NE(a, b);
    append(file, "one\n");
    EXPECT_TRUE(test::waitUntil([&] { return firstCalls > 0 && secondCalls > 0; }));

    // Dropping one watch must not take the shared kernel watch from the other.
    watcher.unwatch(a);
    const int before = firstCalls;
    secondCalls = 0;
    append(file, "two\n");
    EXPECT_TRUE(test::waitUntil([&] { return secondCalls > 0; }));
    EXPECT_EQ(firstCalls, before);
    watcher.unwatch(b);
}

TEST(InotifyFileWatcherTest, RefusesADescriptorThatIsNotOpen)
{
    InotifyFileWatcher watcher;
    EXPECT_EQ(watcher.watch(-1, [](unsigned) {}), 0u);
    EXPECT_EQ(watcher.watch(987654, [](unsigned) {}), 0u);
}
