#include "Ingestion/TranscriptTailer.h"
#include "Platform/Linux/InotifyFileWatcher.h"
#include "support/ManualScheduler.h"
#include "support/RecordingFileWatcher.h"
#include "support/WaitUntil.h"
#include "support/base/TemporaryHome.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace velquist;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

// The tailer as the application runs it, on the kernel's change notices.
namespace {

// Lines the tailer handed to its parser, gathered across its threads.
struct ParsedLines
{
    std::mutex mutex;
    std::vector<std::string> lines;

    std::vector<std::string> all()
    {
        std::lock_guard lock(mutex);
        return lines;
    }
};

// A tiny line format, so these tests exercise the tailer and not an agent's parser:
// "text:<t>", "tool:<activity>" and "result".
TranscriptLineParser recordingParser(const std::shared_ptr<ParsedLines>& parsed)
{
    return [parsed](std::string_view line) -> std::vector<TranscriptItem> {
        {
            std::lock_guard lock(parsed->mutex);
            parsed->lines.emplace_back(line);
        }
        if (line.starts_with("text:"))
            return {TranscriptItem::assistantText(std::string(line.substr(5)))};
        if (line.starts_with("tool:"))
            return {TranscriptItem::assistantToolUse("Bash", std::string(line.substr(5)))};
        if (line == "result")
            return {TranscriptItem::toolResult()};
        return {};
    };
}

void append(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::app | std::ios::binary) << text;
}

void replaceContent(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::trunc | std::ios::binary) << text;
}

class TranscriptTailerTest : public ::testing::Test
{
  protected:
    std::unique_ptr<TranscriptTailer> start(FileWatcher& watcher)
    {
        return std::make_unique<TranscriptTailer>(
            file, recordingParser(parsed), [this](const TranscriptSnapshot& s) { snapshots.push_back(s); },
            watcher, scheduler);
    }
    std::unique_ptr<TranscriptTailer> start() { return start(watcher); }

    bool waitForSnapshot(const std::function<bool(const TranscriptSnapshot&)>& condition)
    {
        return test::waitUntil([&] { return !snapshots.empty() && condition(snapshots.back()); });
    }
    bool waitForRetryTimer()
    {
        return test::waitUntil([&] { return scheduler.pendingCount() == 1; });
    }

    test::TemporaryFolder folder;
    fs::path file = folder.path() / "session.jsonl";
    InotifyFileWatcher watcher;
    test::ManualScheduler scheduler;
    std::shared_ptr<ParsedLines> parsed = std::make_shared<ParsedLines>();
    std::vector<TranscriptSnapshot> snapshots;
};

} // namespace

TEST_F(TranscriptTailerTest, FollowsGrowthAndParsesALineWrittenInPiecesOnceWhole)
{
    append(file, "text:first\n");
    auto tailer = start();
    ASSERT_TRUE(waitForSnapshot([](auto& s) { return s.lastAssistantText == "first"; }));

    append(file, "tool:$ ma");
    test::settle();
    EXPECT_EQ(snapshots.size(), 1u);

    append(file, "ke\nresult\nresu");
    ASSERT_TRUE(waitForSnapshot([](auto& s) { return s.toolResultCount == 1; }));
    EXPECT_EQ(snapshots.back().lastToolActivity, "$ make");

    append(file, "lt\n");
    ASSERT_TRUE(waitForSnapshot([](auto& s) { return s.toolResultCount == 2; }));
    EXPECT_EQ(parsed->all(), (std::vector<std::string>{"text:first", "tool:$ make", "result", "result"}));
    EXPECT_EQ(snapshots.back().lastAssistantText, "first");
    EXPECT_EQ(snapshots.back().generation, 0);
}

TEST_F(TranscriptTailerTest, ALongTranscriptIsReadOnlyFromItsLastWindow)
{
    const std::string line = "text:" + std::string(94, 'x') + "\n"; // 100 bytes
    std::string content;
    while (content.size() < (1u << 20))
        content += line;
    content += "text:last\n";
    append(file, content);
    auto tailer = start();
    ASSERT_TRUE(waitForSnapshot([](auto& s) { return s.lastAssistantText == "last"; }));

    const auto lines = parsed->all();
    std::size_t bytes = 0;
    for (const auto& l : lines)
        bytes += l.size() + 1;
    EXPECT_EQ(bytes, TranscriptTailer::kInitialWindow);
    // The window starts inside a line; that fragment is passed on and yields nothing.
    EXPECT_FALSE(lines.front().starts_with("text:"));
    EXPECT_EQ(snapshots.size(), 1u);
}

TEST_F(TranscriptTailerTest, AFileThatAppearsLaterIsFoundByTheNextRetryAndReadFromItsStart)
{
    auto tailer = start();
    ASSERT_TRUE(waitForRetryTimer());
    scheduler.advance(2s);
    ASSERT_TRUE(waitForRetryTimer());
    scheduler.advance(2s);
    ASSERT_TRUE(waitForRetryTimer());
    scheduler.advance(1s);
    append(file, "result\ntext:hello\n");
    scheduler.advance(1s); // 6 s after start: the fourth open
    ASSERT_TRUE(waitForSnapshot([](auto& s) { return s.lastAssistantText == "hello"; }));
    EXPECT_EQ(tailer->openAttempts(), 3);
    EXPECT_EQ(snapshots.back().toolResultCount, 1);
}

TEST_F(TranscriptTailerTest, APathThatNeverExistsIsTriedThreeHundredTimesThenLeftAlone)
{
    auto tailer = start();
    for (int attempt = 1; attempt < TranscriptTailer::kMaxOpenAttempts; ++attempt) {
        ASSERT_TRUE(waitForRetryTimer()) << attempt;
        scheduler.advance(2s);
    }
    ASSERT_TRUE(
        test::waitUntil([&] { return tailer->openAttempts() == TranscriptTailer::kMaxOpenAttempts; }));
    EXPECT_EQ(scheduler.pendingCount(), 0u);
    append(file, "text:late\n");
    scheduler.advance(10s);
    test::settle();
    EXPECT_TRUE(snapshots.empty());
}

// Deleted and recreated, renamed over, or cut short in place: the new content is read from its
// start, and its tool results are a new count (a new baseline), not added to the old one.
TEST_F(TranscriptTailerTest, AReplacedFileIsReadAgainFromItsStartAsANewBaseline)
{
    struct Case
    {
        const char* name;
        void (*replace)(const fs::path& file);
        bool reopens; // a new file at the path, picked up after the reopen delay
    };
    const Case cases[] = {
        {"deleted and recreated",
         [](const fs::path& f) {
             fs::remove(f);
             append(f, "result\ntext:new\n");
         },
         true},
        {"renamed over",
         [](const fs::path& f) {
             const auto other = f.parent_path() / "other.jsonl";
             append(other, "result\ntext:new\n");
             fs::rename(other, f);
         },
         true},
        {"truncated in place", [](const fs::path& f) { replaceContent(f, "result\ntext:new\n"); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TemporaryFolder folder;
        const auto path = folder.path() / "t.jsonl";
        snapshots.clear();
        append(path, "tool:$ ls\nresult\nresult\nresult\ntext:old\n");
        TranscriptTailer tailer(
            path, recordingParser(parsed), [this](const TranscriptSnapshot& s) { snapshots.push_back(s); },
            watcher, scheduler);
        ASSERT_TRUE(waitForSnapshot([](auto& s) { return s.toolResultCount == 3; }));

        c.replace(path);
        if (c.reopens) {
            ASSERT_TRUE(waitForRetryTimer());
            test::settle(50ms);
            EXPECT_FALSE(snapshots.back().lastAssistantText == "new"); // not before the pause
            scheduler.advance(TranscriptTailer::kReopenDelay);
        }
        ASSERT_TRUE(waitForSnapshot([](auto& s) { return s.lastAssistantText == "new"; }));
        const auto& last = snapshots.back();
        EXPECT_EQ(last.toolResultCount, 1);
        EXPECT_EQ(last.generation, 1);
        EXPECT_EQ(last.lastToolActivity, "$ ls"); // what the old file said stays known

        // The new file is followed as it grows.
        append(path, "result\n");
        ASSERT_TRUE(waitForSnapshot([](auto& s) { return s.toolResultCount == 2; }));
        EXPECT_EQ(snapshots.back().generation, 1);
        tailer.stop();
    }
}

// A FIFO, a device or a folder named as a transcript must neither block the reader nor be read
// without end; it counts as a failed open and is looked at again later.
TEST_F(TranscriptTailerTest, OpensOnlyRegularFiles)
{
    const auto fifo = folder.path() / "fifo.jsonl";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const fs::path& path : {fifo, fs::path("/dev/zero"), folder.path()}) {
        SCOPED_TRACE(path.string());
        test::ManualScheduler timers;
        TranscriptTailer tailer(
            path, recordingParser(parsed), [this](const TranscriptSnapshot& s) { snapshots.push_back(s); },
            watcher, timers);
        ASSERT_TRUE(test::waitUntil([&] { return timers.pendingCount() == 1; }));
        EXPECT_EQ(tailer.openAttempts(), 1);
        timers.advance(2s);
        ASSERT_TRUE(test::waitUntil([&] { return tailer.openAttempts() == 2; }));
    }
    EXPECT_TRUE(snapshots.empty());
    EXPECT_TRUE(parsed->all().empty());
}

TEST_F(TranscriptTailerTest, DeliversOnlyReadsThatChangedTheSnapshot)
{
    append(file, "text:a\n");
    auto tailer = start();
    ASSERT_TRUE(waitForSnapshot([](auto&) { return true; }));
    // Lines of no interest, an empty line, broken UTF-8: read and parsed (or skipped), not delivered.
    append(file, "noise\n\n{\"x\":1}\ntext:\xff\xfe\n");
    ASSERT_TRUE(test::waitUntil([&] { return parsed->all().size() == 4; }));
    test::settle();
    EXPECT_EQ(snapshots.size(), 1u);
    EXPECT_EQ(parsed->all().back(), "{\"x\":1}"); // the line that is not UTF-8 never reached the parser
}

TEST_F(TranscriptTailerTest, AnOverlongLineIsDroppedWholeAndTheNextLinesStillCount)
{
    append(file, "text:a\n");
    auto tailer = start();
    ASSERT_TRUE(waitForSnapshot([](auto&) { return true; }));
    append(file, "text:" + std::string(TranscriptTailer::kMaxLineLength, 'x') + "\ntext:after\n");
    ASSERT_TRUE(waitForSnapshot([](auto& s) { return s.lastAssistantText == "after"; }));
    for (const auto& line : parsed->all())
        EXPECT_LT(line.size(), 100u);
}

TEST_F(TranscriptTailerTest, StopEndsRetriesAndTheWatch)
{
    test::RecordingFileWatcher recording;
    {
        auto tailer = start(recording);
        ASSERT_TRUE(waitForRetryTimer());
        tailer->stop();
        EXPECT_EQ(scheduler.pendingCount(), 0u);
        append(file, "text:a\n");
        scheduler.advance(10s);
        test::settle();
        EXPECT_TRUE(snapshots.empty());
    }
    {
        auto tailer = start(recording);
        ASSERT_TRUE(waitForSnapshot([](auto&) { return true; }));
        EXPECT_EQ(recording.watchedPaths(), std::vector<std::string>{fs::canonical(file).string()});
        tailer->stop();
        EXPECT_TRUE(test::waitUntil([&] { return recording.watchedPaths().empty(); }));
    }
}

TEST_F(TranscriptTailerTest, ALinkChangeThatLeavesThePathInPlaceOnlyReads)
{
    test::RecordingFileWatcher recording;
    append(file, "text:a\n");
    auto tailer = start(recording);
    ASSERT_TRUE(waitForSnapshot([](auto&) { return true; }));
    ::chmod(file.c_str(), 0600);
    append(file, "result\n");
    recording.fire(FileWatcher::linkChanged);
    ASSERT_TRUE(waitForSnapshot([](auto& s) { return s.toolResultCount == 1; }));
    EXPECT_EQ(snapshots.back().generation, 0);
    EXPECT_EQ(scheduler.pendingCount(), 0u);
    EXPECT_EQ(recording.watchCount(), 1);
}

TEST_F(TranscriptTailerTest, WithoutChangeNoticesTheFileIsPolled)
{
    test::RecordingFileWatcher recording;
    recording.setCanWatch(false);
    append(file, "text:a\n");
    auto tailer = start(recording);
    ASSERT_TRUE(waitForSnapshot([](auto&) { return true; }));
    append(file, "text:b\n");
    ASSERT_TRUE(waitForRetryTimer());
    scheduler.advance(TranscriptTailer::kRetryInterval);
    ASSERT_TRUE(waitForSnapshot([](auto& s) { return s.lastAssistantText == "b"; }));
}

// Thousands of sessions each follow a transcript: a tailer must not hold a descriptor between
// reads, or the process runs out of them and stops accepting its hook clients.
TEST_F(TranscriptTailerTest, ManyTailersHoldNoDescriptorsBetweenReads)
{
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    int open = 0;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        (void)entry;
        ++open;
    }
    rlimit lowered = saved;
    lowered.rlim_cur = static_cast<rlim_t>(open + 48);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);

    constexpr int kTailers = 300;
    std::vector<std::unique_ptr<TranscriptTailer>> tailers;
    int delivered = 0;
    for (int i = 0; i < kTailers; ++i) {
        const fs::path path = folder.path() / ("t" + std::to_string(i) + ".jsonl");
        append(path, "text:" + std::to_string(i) + "\n");
        tailers.push_back(std::make_unique<TranscriptTailer>(
            path, recordingParser(parsed), [&](const TranscriptSnapshot&) { ++delivered; }, watcher,
            scheduler));
    }
    const bool allRead = test::waitUntil([&] { return delivered >= kTailers; }, 20s);
    const int spare = ::dup(0);
    if (spare >= 0)
        ::close(spare);
    tailers.clear();
    ::setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_TRUE(allRead) << delivered << " of " << kTailers;
    EXPECT_GE(spare, 0) << "no descriptor left";
}

TEST_F(TranscriptTailerTest, APathHoldingANulIsNeverOpened)
{
    append(file, "text:a\n");
    const fs::path withNul(file.string() + std::string("\0.other", 7));
    TranscriptTailer tailer(
        withNul, recordingParser(parsed), [this](const TranscriptSnapshot& s) { snapshots.push_back(s); },
        watcher, scheduler);
    ASSERT_TRUE(waitForRetryTimer());
    EXPECT_TRUE(snapshots.empty());
    EXPECT_EQ(tailer.openAttempts(), 1);
}
