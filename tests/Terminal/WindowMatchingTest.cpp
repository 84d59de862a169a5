#include "Terminal/WindowMatching.h"

#include <gtest/gtest.h>

using namespace velquist;
using namespace velquist::WindowMatching;

namespace {
using Titles = std::vector<std::optional<std::string>>;
using Scores = std::vector<std::optional<int>>;
} // namespace

TEST(WindowMatchingTest, SessionIdKeyIsTheFirstBlockOfTheLastPart)
{
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"claude:3f2a9c1e-1111-2222-3333-444455556666", "3f2a9c1e"},
        {"codex:abc-1234567", std::nullopt}, // fewer than 8 before the hyphen
        {"3f2a9c1e-aaaa", "3f2a9c1e"},       // no colon: the whole id
        {"ns::--12345678--x", "12345678"},   // empty parts dropped
        {"short", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [id, key] : cases)
        EXPECT_EQ(sessionIDKey(id), key) << id;
}

TEST(WindowMatchingTest, FolderNameIsTheLastComponent)
{
    const std::pair<std::string, std::string> cases[] = {
        {"unknown", "No folder"}, {"/home/a/proj", "proj"}, {"/home/a/proj/", "proj"}, {"/", "/"}};
    for (const auto& [cwd, name] : cases)
        EXPECT_EQ(folderName(cwd), name) << cwd;
}

TEST(WindowMatchingTest, UniqueTitleMatchNeedsOneTitleAndThreeCharacters)
{
    const Titles titles{"Fix the Parser", std::nullopt, "write docs", "parser notes"};
    EXPECT_EQ(uniqueTitleMatch(titles, "  docs \n"), 2u);
    EXPECT_EQ(uniqueTitleMatch(titles, "FIX"), 0u);
    EXPECT_EQ(uniqueTitleMatch(titles, "parser"), std::nullopt); // two titles hold it
    EXPECT_EQ(uniqueTitleMatch(titles, " ab "), std::nullopt);   // too short once trimmed
    EXPECT_EQ(uniqueTitleMatch(titles, "nothing"), std::nullopt);
    EXPECT_EQ(uniqueTitleMatch({"ÉTÉ plans"}, "été"), 0u);
}

TEST(WindowMatchingTest, CwdMatchScoreCountsSharedLeadingFolders)
{
    const std::tuple<std::optional<std::string>, std::string, std::optional<int>> cases[] = {
        {"/Users/a/proj", "/Users/a/proj/", exactMatch},
        {"/a//b/", "/a/b", exactMatch},
        {"/Users/a", "/Users/a/proj", 2},
        {"/Users/a/proj/sub", "/Users/a/proj", 3},
        {"/", "/x", 0},
        {std::nullopt, "/x", std::nullopt},
        {"/Users/b", "/Users/a", std::nullopt},
        {"/Users/A", "/Users/a", std::nullopt},
    };
    for (const auto& [surface, cwd, score] : cases)
        EXPECT_EQ(cwdMatchScore(surface, cwd), score) << surface.value_or("nil") << " " << cwd;
}

TEST(WindowMatchingTest, ChooseTabKeepsTiesWithTheOriginal)
{
    EXPECT_EQ(chooseTab({2, std::nullopt, 2, 3}, std::nullopt), 3u);
    EXPECT_EQ(chooseTab({2, std::nullopt, 2, 1}, 2u), 2u);
    EXPECT_EQ(chooseTab({2, 5, 5}, std::nullopt), 1u);
    EXPECT_EQ(chooseTab({std::nullopt, std::nullopt}, std::nullopt), std::nullopt);
    EXPECT_EQ(chooseTab({std::nullopt, 1}, 0u), 1u); // an unscored original is no best
    EXPECT_EQ(chooseTab({1}, 7u), 0u);               // an original outside the list is ignored
}

TEST(WindowMatchingTest, UniqueWindowMatchTriesCandidatesInOrder)
{
    const Titles titles{"proj - vim", "proj: Claude", std::nullopt, "\u2733 other"};
    EXPECT_EQ(uniqueWindowMatch(titles, {"proj", "claude", "\u2733"}), 1u);
    EXPECT_EQ(uniqueWindowMatch(titles, {"PROJ - VIM"}), 0u);
    EXPECT_EQ(uniqueWindowMatch(titles, {"none", "\u2733"}), 3u);
    EXPECT_EQ(uniqueWindowMatch(titles, {"proj"}), std::nullopt);
    EXPECT_EQ(uniqueWindowMatch({}, {"proj"}), std::nullopt);
}
