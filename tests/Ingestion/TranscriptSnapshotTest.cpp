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
