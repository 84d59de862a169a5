#include "Ingestion/TranscriptSnapshot.h"

#include <gtest/gtest.h>

using namespace velquist;
using Item = TranscriptItem;

TEST(TranscriptSnapshotTest, ItemsFoldInOrderAndTheLastOfAKindWins)
{
    TranscriptSnapshot snapshot;
    EXPECT_EQ(snapshot, TranscriptSnapshot{});
    for (const auto& item :
         {Item::assistantText("a"), Item::assistantToolUse("Bash", "$ ls"), Item::toolResult(),
          Item::usage(100, "m1"), Item::contextWindow(200000), Item::title("T"), Item::assistantText("b"),
          Item::toolResult(), Item::usage(150)})
        snapshot.apply(item);
    EXPECT_EQ(snapshot.lastAssistantText, "b");
    EXPECT_EQ(snapshot.lastToolActivity, "$ ls");
    EXPECT_EQ(snapshot.toolResultCount, 2);
    EXPECT_EQ(snapshot.contextTokens, 150);
    EXPECT_EQ(snapshot.contextModel, std::nullopt); // a usage without a model clears it
    EXPECT_EQ(snapshot.contextLimit, 200000);
    EXPECT_EQ(snapshot.aiTitle, "T");
    EXPECT_EQ(snapshot.generation, 0);
}

// A result is tied to its tool through the call's id, so a held request can tell its own tool's
// result from a parallel one's; results without a known call stay unattributed.
TEST(TranscriptSnapshotTest, ToolResultsAreCountedByTheToolTheyAnswer)
{
    TranscriptSnapshot snapshot;
    for (const auto& item :
         {Item::assistantToolUse("Read", "Read a.c", "t1"), Item::assistantToolUse("Bash", "$ make", "t2"),
          Item::toolResult({"t1"}), Item::toolResult({"unknown"}), Item::toolResult(),
          Item::toolResult({"t2", "t1"})})
        snapshot.apply(item);
    EXPECT_EQ(snapshot.toolResultCount, 4);
    EXPECT_EQ(snapshot.toolResultsByName, (std::map<std::string, std::int64_t>{{"Bash", 1}, {"Read", 1}}));
    EXPECT_EQ(snapshot.unattributedToolResults, 2);
    EXPECT_TRUE(snapshot.openToolUses.empty());

    for (std::size_t i = 0; i < TranscriptSnapshot::kMaxOpenToolUses + 5; ++i)
        snapshot.apply(Item::assistantToolUse("Bash", "$ ls", "c" + std::to_string(i)));
    EXPECT_EQ(snapshot.openToolUses.size(), TranscriptSnapshot::kMaxOpenToolUses);
    EXPECT_EQ(snapshot.openToolUses.front().first, "c5");

    snapshot.resetToolResults();
    EXPECT_EQ(snapshot.toolResultCount, 0);
    EXPECT_TRUE(snapshot.toolResultsByName.empty());
    EXPECT_EQ(snapshot.unattributedToolResults, 0);
    EXPECT_TRUE(snapshot.openToolUses.empty());
}
