#include "Shared/FileUtil.h"
#include "support/base/TemporaryFolder.h"

#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace velquist;
namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

mode_t modeOf(const fs::path& path)
{
    struct stat info
    {
    };
    ::stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

std::size_t entriesIn(const fs::path& folder)
{
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

} // namespace

TEST(FileUtilTest, AtomicWriteFailingBeforeRenameLeavesOldFileWhole)
{
    test::TemporaryFolder folder;
    const fs::path file = folder.path() / "settings.json";
    std::ofstream(file) << R"({"old":true})";

    // A child whose file-size limit makes the write fail half-way, before any rename.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit
        {
            4096, 4096
        };
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const auto result = FileUtil::writeAtomically(file, std::string(1 << 20, 'x'));
        ::_exit(result.ok() ? 1 : 0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the write should have reported its failure";
    EXPECT_EQ(slurp(file), R"({"old":true})");
    EXPECT_EQ(entriesIn(folder.path()), 1u) << "the temporary file must not be left behind";
}

TEST(FileUtilTest, AtomicWriteKeepsModeAndFollowsSymlink)
{
    test::TemporaryFolder folder;
    const fs::path real = folder.path() / "real.json";
    const fs::path link = folder.path() / "link.json";
    std::ofstream(real) << "{}";
    ::chmod(real.c_str(), 0640);
    fs::create_symlink("real.json", link);

    ASSERT_TRUE(FileUtil::writeAtomically(link, "{\"new\":1}").ok());
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(slurp(real), "{\"new\":1}");
    EXPECT_EQ(modeOf(real), 0640u);

    const fs::path fresh = folder.path() / "fresh.json";
    ASSERT_TRUE(FileUtil::writeAtomically(fresh, "x").ok());
    EXPECT_EQ(modeOf(fresh), 0600u);

    ASSERT_TRUE(FileUtil::writeAtomically(real, "{}", 0600, FileUtil::ModePolicy::force).ok());
    EXPECT_EQ(modeOf(real), 0600u);
}

TEST(FileUtilTest, ReadTellsMissingFromUnreadableAndRefusesNonRegularFiles)
{
    test::TemporaryFolder folder;
    EXPECT_EQ(FileUtil::read(folder.path() / "absent").status, FileRead::Status::missing);

    const fs::path fifo = folder.path() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(FileUtil::read(fifo).status, FileRead::Status::notRegular);
    EXPECT_EQ(FileUtil::read(folder.path()).status, FileRead::Status::notRegular);

    const fs::path big = folder.path() / "big";
    std::ofstream(big) << std::string(100, 'a');
    EXPECT_EQ(FileUtil::read(big, 99).status, FileRead::Status::tooLarge);
    const auto whole = FileUtil::read(big, 100);
    EXPECT_TRUE(whole.ok());
    EXPECT_EQ(whole.bytes.size(), 100u);

    if (::geteuid() != 0) {
        ::chmod(big.c_str(), 0);
        EXPECT_EQ(FileUtil::read(big).status, FileRead::Status::unreadable);
    }
}

TEST(FileUtilTest, EnsurePrivateDirectoryCreatesWithMode0700)
{
    test::TemporaryFolder folder;
    const fs::path support = folder.path() / "a" / "b" / "Velquist";
    ASSERT_TRUE(FileUtil::ensurePrivateDirectory(support).ok());
    EXPECT_EQ(modeOf(support), 0700u);
    ::chmod(support.c_str(), 0755);
    ASSERT_TRUE(FileUtil::ensurePrivateDirectory(support).ok());
    EXPECT_EQ(modeOf(support), 0700u);

    std::ofstream(folder.path() / "file") << "x";
    EXPECT_FALSE(FileUtil::ensurePrivateDirectory(folder.path() / "file").ok());
}

TEST(FileUtilTest, MoveAsideNeverOverwritesAnEarlierCopy)
{
    test::TemporaryFolder folder;
    const fs::path file = folder.path() / "sessions.json";
    std::ofstream(file) << "first";
    EXPECT_EQ(FileUtil::moveAside(file), folder.path() / "sessions.json.corrupt");
    std::ofstream(file) << "second";
    EXPECT_EQ(FileUtil::moveAside(file), folder.path() / "sessions.json.corrupt.2");
    EXPECT_EQ(slurp(folder.path() / "sessions.json.corrupt"), "first");
    EXPECT_EQ(slurp(folder.path() / "sessions.json.corrupt.2"), "second");
}

TEST(FileUtilTest, MoveAcrossFileSystemsCopiesThenRemoves)
{
    // /dev/shm is a tmpfs on Linux; the temporary folder usually lies on another file system.
    if (!fs::is_directory("/dev/shm"))
        GTEST_SKIP() << "no /dev/shm";
    test::TemporaryFolder folder;
    const fs::path source = folder.path() / "tree";
    fs::create_directories(source / "inner");
    std::ofstream(source / "inner" / "file") << "content";

    char pattern[] = "/dev/shm/velquist-move-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const fs::path target = fs::path(pattern) / "tree";
    const auto result = FileUtil::move(source, target);
    EXPECT_TRUE(result.ok()) << result.error;
    EXPECT_FALSE(fs::exists(source));
    EXPECT_EQ(slurp(target / "inner" / "file"), "content");
    fs::remove_all(pattern);
}

TEST(FileUtilTest, ATemporaryLeftByAKilledWriterIsRemovedByTheNextWrite)
{
    test::TemporaryFolder folder;
    const fs::path file = folder.path() / "settings.json";
    const fs::path stale = folder.path() / ".settings.json.tmp-AbC123";
    const fs::path fresh = folder.path() / ".settings.json.tmp-XyZ789";
    const fs::path other = folder.path() / ".other.json.tmp-AbC123";
    for (const auto& path : {stale, fresh, other})
        std::ofstream(path) << "half";
    const auto old = fs::file_time_type::clock::now() - std::chrono::minutes(5);
    fs::last_write_time(stale, old);
    fs::last_write_time(other, old);

    ASSERT_TRUE(FileUtil::writeAtomically(file, "{}").ok());
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(fresh)) << "may belong to a writer still at work";
    EXPECT_TRUE(fs::exists(other)) << "another file's temporary";
    EXPECT_EQ(slurp(file), "{}");
}

TEST(FileUtilTest, KeptAsideCopiesMakeRoomByDroppingTheOldest)
{
    test::TemporaryFolder folder;
    const fs::path file = folder.path() / "sessions.json";
    const auto start = fs::file_time_type::clock::now() - std::chrono::hours(1);
    for (int i = 0; i < FileUtil::kKeptAsideCopies + 3; ++i) {
        std::ofstream(file) << "bad " << i;
        const fs::path aside = FileUtil::moveAside(file);
        ASSERT_FALSE(aside.empty()) << i;
        EXPECT_EQ(slurp(aside), "bad " + std::to_string(i));
        fs::last_write_time(aside, start + std::chrono::minutes(i));
    }
    // The newest copies are all there; the oldest went.
    std::set<std::string> kept;
    for (const auto& entry : fs::directory_iterator(folder.path()))
        kept.insert(slurp(entry.path()));
    EXPECT_EQ(kept.size(), static_cast<std::size_t>(FileUtil::kKeptAsideCopies));
    for (int i = 3; i < FileUtil::kKeptAsideCopies + 3; ++i)
        EXPECT_TRUE(kept.contains("bad " + std::to_string(i))) << i;
}

TEST(FileUtilTest, OwnFilesAreNeverWrittenThroughALink)
{
    test::TemporaryFolder folder;
    const fs::path victim = folder.path() / "precious.txt";
    std::ofstream(victim) << "keep me";
    const fs::path own = folder.path() / "sessions.json";
    fs::create_symlink(victim, own);

    ASSERT_TRUE(FileUtil::writeOwnFile(own, "[]").ok());
    EXPECT_EQ(slurp(victim), "keep me");
    EXPECT_FALSE(fs::is_symlink(own));
    EXPECT_EQ(slurp(own), "[]");
    EXPECT_EQ(modeOf(own), 0600u);
    EXPECT_TRUE(fs::is_symlink(folder.path() / "sessions.json.corrupt")) << "the link is kept aside";

    // A backup replaces its link in place.
    const fs::path backup = folder.path() / "settings.json.velquist.bak";
    fs::create_symlink(victim, backup);
    ASSERT_TRUE(FileUtil::writeAtomically(backup, "old", 0600, FileUtil::ModePolicy::force,
                                          FileUtil::LinkPolicy::replaceLink)
                    .ok());
    EXPECT_EQ(slurp(victim), "keep me");
    EXPECT_FALSE(fs::is_symlink(backup));
    EXPECT_EQ(slurp(backup), "old");
}

TEST(FileUtilTest, OnlyTheExactTemporaryNamesCount)
{
    struct Case
    {
        const char* name;
        bool matches;
    };
    const Case cases[] = {
        {".settings.json.tmp-AbC123", true},   {".settings.json.tmp-AbC12", false},
        {".settings.json.tmp-AbC1234", false}, {".settings.json.tmp-notes!", false},
        {".settings.json.tmp-ab.c12", false},  {"settings.json.tmp-AbC123", false},
        {".settings.jsonX.tmp-AbC123", false}, {".settings.json.velquist.bak.tmp-AbC123", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FileUtil::isTemporaryName(c.name, "settings.json"), c.matches) << c.name;

    test::TemporaryFolder folder;
    const fs::path ours = folder.path() / ".settings.json.velquist.bak.tmp-Q1w2E3";
    const fs::path users = folder.path() / ".settings.json.velquist.bak.tmp-mine.txt";
    std::ofstream(ours) << "half";
    std::ofstream(users) << "mine";
    FileUtil::removeTemporariesOf(folder.path() / "settings.json.velquist.bak");
    EXPECT_FALSE(fs::exists(ours)) << "however fresh";
    EXPECT_TRUE(fs::exists(users));
}

TEST(FileUtilTest, ExecutableFileIsARegularFileWithItsExecuteBit)
{
    test::TemporaryFolder folder;
    const auto file = [&](const char* name, fs::perms perms) {
        const fs::path path = folder.path() / name;
        std::ofstream(path) << "#!/bin/sh\n";
        fs::permissions(path, perms);
        return path;
    };
    const auto link = [&](const char* name, const fs::path& target) {
        fs::create_symlink(target, folder.path() / name);
        return folder.path() / name;
    };
    const fs::path tool = file("tool", fs::perms::owner_read | fs::perms::owner_exec);
    const std::pair<fs::path, bool> cases[] = {
        {tool, true},
        {link("link", tool), true},
        {file("plain", fs::perms::owner_read), false},
        {link("dangling", folder.path() / "gone"), false},
        {folder.path(), false},
        {folder.path() / "missing", false},
        {fs::path(), false},
    };
    for (const auto& [path, executable] : cases)
        EXPECT_EQ(FileUtil::isExecutableFile(path), executable) << path;
}
