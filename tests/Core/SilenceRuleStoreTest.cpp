#include "Core/SilenceRuleStore.h"
#include "support/base/TemporaryFolder.h"

#include <QSignalSpy>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace velquist;
namespace fs = std::filesystem;
using Match = SilenceRule::Match;

namespace {

SilenceRule custom(SilenceRule::Field field, Match match, std::string pattern)
{
    SilenceRule rule;
    rule.id = QUuid::createUuid();
    rule.field = field;
    rule.match = match;
    rule.pattern = std::move(pattern);
    return rule;
}

std::string slurp(const fs::path& file)
{
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace

TEST(SilenceRuleTest, PathMatching)
{
    test::TemporaryFolder home;
    const std::string h = home.path().string();
    struct Case
    {
        std::string path;
        std::string pattern;
        Match match;
        bool expected;
    };
    const Case cases[] = {
        {h + "/.claude", "~/.claude", Match::prefix, true},
        {h + "/.claude/projects/x", "~/.claude", Match::prefix, true},
        {h + "/work/.claude/x", "~/.claude", Match::prefix, false},
        {h + "/.claude-other", "~/.claude", Match::prefix, false},
        {h + "/scratch", "~/scratch", Match::prefix, true},
        {h + "/scratch/deep/er", "~/scratch/", Match::prefix, true},
        {h + "/scratch2", "~/scratch", Match::prefix, false},
        {"/TMP/build", "/tmp", Match::prefix, true},
        {"/tmp", "/tmp", Match::prefix, true},
        {"/var/tmpfiles", "/tmp", Match::prefix, false},
        {"/home/a/Projects/demo", "projects", Match::contains, true},
        {"/home/a/x", "  ", Match::contains, false},
        {"", "/tmp", Match::prefix, false},
        {"/", "/", Match::prefix, true},
        {h, "~", Match::prefix, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SilenceRule::matchesPath(c.path, c.pattern, c.match, home.path()), c.expected)
            << c.path << " ~ " << c.pattern;
    // Without a home folder "~" is only a character.
    EXPECT_FALSE(SilenceRule::matchesPath(h + "/.claude", "~/.claude", Match::prefix, {}));
    EXPECT_TRUE(SilenceRule::matchesPath("~/.claude/x", "~/.claude", Match::prefix, {}));
}

TEST(SilenceRuleTest, TheBuiltInFiltersHideHelperAndScratchFolders)
{
    auto claude = SilenceRule::presets().at(0);
    auto temporary = SilenceRule::presets().at(1);
    claude.isEnabled = temporary.isEnabled = true;
    const std::filesystem::path home = "/home/u";
    struct Case
    {
        const SilenceRule& rule;
        std::string cwd;
        bool hidden;
    };
    const Case cases[] = {
        {claude, "/home/u/.claude", true},
        {claude, "/home/u/.claude/projects/x", true},
        {claude, "/home/u/work/app/.claude", true},
        {claude, "/home/u/work/app/.Claude/agents", true},
        {claude, "/home/u/work/app", false},
        {claude, "/home/u/claude", false},
        {temporary, "/tmp/build", true},
        {temporary, "/tmpfiles", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.rule.matches(c.cwd, std::nullopt, home), c.hidden) << c.cwd;
}

TEST(SilenceRuleTest, TextMatching)
{
    struct Case
    {
        std::optional<std::string> text;
        std::string pattern;
        Match match;
        bool expected;
    };
    const Case cases[] = {
        {"  Fix the BUILD please", "fix the", Match::prefix, true},
        {"please fix the build", "fix the", Match::prefix, false},
        {"please fix the build", "FIX", Match::contains, true},
        {std::nullopt, "x", Match::contains, false},
        {" \n\t ", "x", Match::contains, false},
        {"anything", " \n", Match::contains, false},
        {"Ünïcode Words", "ünï", Match::prefix, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SilenceRule::matchesText(c.text, c.pattern, c.match), c.expected)
            << c.text.value_or("<none>");
}

TEST(SilenceRuleStoreTest, NoFileGivesTwoDisabledPresetsAndWritesNothing)
{
    test::TemporaryFolder folder;
    const fs::path file = folder.path() / "silence-rules.json";
    SilenceRuleStore store(file);
    ASSERT_EQ(store.rules().size(), 2u);
    EXPECT_TRUE(store.customRules().empty());
    for (const auto& rule : store.rules())
        EXPECT_FALSE(rule.isEnabled);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_FALSE(store.isSilenced("/tmp/x", std::nullopt));
    store.setEnabled(true, store.presetRules()[1].id);
    EXPECT_TRUE(store.isSilenced("/tmp/x", std::nullopt));
    store.setRevealsHidden(true);
    EXPECT_TRUE(store.isSilenced("/tmp/x", std::nullopt)) << "revealing does not change the test";
}

TEST(SilenceRuleStoreTest, RulesRoundTripAndPresetsMergeWithTheBuiltInDefinition)
{
    test::TemporaryFolder folder;
    const fs::path file = folder.path() / "silence-rules.json";
    std::ofstream(file)
        << R"([{"id":"11111111-1111-1111-1111-111111111111","field":"prompt","match":"prefix",)"
           R"("pattern":"warmup","isEnabled":true},)"
           R"({"id":"22222222-2222-2222-2222-222222222222","field":"directory","match":"contains",)"
           R"("pattern":"old","isEnabled":true,"presetName":"Sessions in temporary directories",)"
           R"("presetDetail":"stale"},)"
           R"({"id":"33333333-3333-3333-3333-333333333333","field":"directory","match":"contains",)"
           R"("pattern":"x","isEnabled":true,"presetName":"A preset that no longer exists"}])";
    SilenceRuleStore store(file);
    ASSERT_EQ(store.rules().size(), 3u);
    EXPECT_EQ(store.rules()[0].pattern, "warmup");
    const auto temporary = store.rules()[2];
    EXPECT_EQ(temporary.id, QUuid("22222222-2222-2222-2222-222222222222"));
    EXPECT_TRUE(temporary.isEnabled);
    EXPECT_EQ(temporary.pattern, "/tmp");
    EXPECT_EQ(temporary.match, Match::prefix);
    EXPECT_EQ(temporary.presetDetail, SilenceRule::presets()[1].presetDetail);

    store.update(temporary.id, "/elsewhere"); // presets only switch on and off
    EXPECT_EQ(store.rules()[2].pattern, "/tmp");
    store.remove(temporary.id);
    EXPECT_EQ(store.rules().size(), 3u);

    store.add(custom(SilenceRule::Field::prompt, Match::prefix, "WARMUP"));
    EXPECT_EQ(store.rules().size(), 3u) << "same rule but for case";
    store.add(custom(SilenceRule::Field::prompt, Match::prefix, " warmup"));
    EXPECT_EQ(store.rules().size(), 4u);

    struct stat info
    {
    };
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    SilenceRuleStore reloaded(file);
    EXPECT_EQ(reloaded.customRules(), store.customRules());
    EXPECT_EQ(reloaded.presetRules(), store.presetRules());
}

TEST(SilenceRuleStoreTest, OneBadElementCostsOnlyItselfAndTheOriginalIsKept)
{
    test::TemporaryFolder folder;
    const fs::path file = folder.path() / "silence-rules.json";
    const std::string original =
        R"([{"id":"11111111-1111-1111-1111-111111111111","field":"folder","match":"prefix","pattern":"a","isEnabled":true},)"
        R"({"id":"44444444-4444-4444-4444-444444444444","field":"directory","match":"prefix","pattern":"~/keep","isEnabled":true}])";
    std::ofstream(file) << original;
    SilenceRuleStore store(file);
    ASSERT_EQ(store.customRules().size(), 1u);
    EXPECT_EQ(store.customRules()[0].pattern, "~/keep");

    store.add(custom(SilenceRule::Field::directory, Match::contains, "new"));
    EXPECT_EQ(slurp(folder.path() / "silence-rules.json.corrupt"), original);
    EXPECT_EQ(SilenceRuleStore(file).customRules().size(), 2u);
}

TEST(SilenceRuleStoreTest, AnUnparsableFileIsMovedAsideBeforeTheNextSave)
{
    test::TemporaryFolder folder;
    const fs::path file = folder.path() / "silence-rules.json";
    std::ofstream(file) << "[{\"id\": truncated";
    SilenceRuleStore store(file);
    EXPECT_EQ(store.rules().size(), 2u);
    EXPECT_EQ(slurp(file), "[{\"id\": truncated") << "loading never writes";
    QSignalSpy spy(&store, &SilenceRuleStore::rulesChanged);
    store.setEnabled(true, store.rules()[0].id);
    EXPECT_EQ(spy.count(), 1);
    store.setEnabled(true, store.rules()[0].id);
    EXPECT_EQ(spy.count(), 1) << "no change, no signal";
    EXPECT_EQ(slurp(folder.path() / "silence-rules.json.corrupt"), "[{\"id\": truncated");
}

// The file is the user's: an edit that leaves every rule as it was must not touch it (a row that
// writes its own text back, a switch set to what it shows, a removal of an unknown rule).
TEST(SilenceRuleStoreTest, EditsThatChangeNothingWriteNothing)
{
    test::TemporaryFolder folder;
    const fs::path file = folder.path() / "silence-rules.json";
    SilenceRuleStore store(file);
    const SilenceRule rule = custom(SilenceRule::Field::directory, Match::contains, "~/scratch");
    store.add(rule);
    ASSERT_TRUE(fs::exists(file));
    const std::string written = slurp(file);
    std::ofstream(file, std::ios::trunc) << "sentinel";

    const std::function<void()> noOps[] = {
        [&] { store.update(rule.id, "~/scratch"); },
        [&] { store.replace(rule.id, SilenceRule::Field::directory); },
        [&] { store.replace(rule.id, Match::contains); },
        [&] { store.setEnabled(true, rule.id); },
        [&] { store.setEnabled(false, store.presetRules()[0].id); },
        [&] { store.remove(QUuid::createUuid()); },
        [&] { store.add(custom(SilenceRule::Field::directory, Match::contains, "~/SCRATCH")); },
    };
    for (const auto& noOp : noOps)
        noOp();
    EXPECT_EQ(slurp(file), "sentinel");

    store.update(rule.id, "~/scratch ");
    EXPECT_NE(slurp(file), "sentinel") << "a real change is saved";
    EXPECT_NE(slurp(file), written);
}
