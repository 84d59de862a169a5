#include "Characters/CharacterCatalog.h"
#include "Characters/CharacterSettings.h"
#include "PackFixture.h"
#include "support/MemoryDefaults.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace velquist;
namespace fs = std::filesystem;

namespace {

const std::string kValid = test::PackFixture::manifest(32, {{"resting", "rest.png"}});

std::vector<std::string> ids(const std::vector<NotchCharacter>& packs)
{
    std::vector<std::string> out;
    for (const auto& pack : packs)
        out.push_back(pack.id);
    return out;
}

} // namespace

TEST(CharacterCatalogTest, OffersValidPacksDefaultFirstThenByteOrder)
{
    test::PackFixture packs;
    for (const char* id : {"b", "velq", "a", "B"})
        packs.pack(id, kValid);
    EXPECT_EQ(ids(CharacterCatalog::load(packs.root())), (std::vector<std::string>{"velq", "B", "a", "b"}));
}

TEST(CharacterCatalogTest, LeavesOutWhatIsNoPack)
{
    test::PackFixture packs;
    packs.pack("good", kValid);
    packs.pack("none", kValid);
    packs.pack("usage", kValid);
    packs.pack("no-resting", test::PackFixture::manifest(32, {{"alert", "a.png"}, {"active", "b.png"}}));
    packs.pack("bad-number",
               R"({"name":"n","credit":"c","frameWidth":32.5,"frameHeight":1,"animations":{}})");
    packs.pack("not-json", "{{{");
    packs.write("no-manifest/rest.png", "x");
    packs.write("plain-file", kValid);
    fs::create_directories(packs.root() / "manifest-is-folder" / "manifest.json");
    packs.write("huge/manifest.json", std::string(2 * 1024 * 1024, ' ') + kValid);
    // A FIFO named as the manifest is refused, not waited on.
    fs::create_directories(packs.root() / "fifo-manifest");
    ASSERT_EQ(::mkfifo((packs.root() / "fifo-manifest" / "manifest.json").c_str(), 0600), 0);
    // A pack over the frames' budget goes whole, so the choice of it falls back like a missing one.
    std::string steps;
    for (int i = 0; i < 300; ++i)
        steps += std::string(i ? "," : "") + R"({"file":"rest.png","frames":1,"fps":8})";
    packs.pack(
        "bomb",
        R"({"name":"b","credit":"c","frameWidth":32,"frameHeight":32,"animations":{"resting":{"sequence":[)" +
            steps + "]}}}");

    const auto loaded = CharacterCatalog::load(packs.root());
    ASSERT_EQ(ids(loaded), (std::vector<std::string>{"good"}));
    EXPECT_EQ(loaded[0].directory, packs.root() / "good");
    EXPECT_EQ(loaded[0].manifest.name, "Test");
    EXPECT_EQ(CharacterSettings::resolve("bomb", loaded), &loaded[0]);
}

TEST(CharacterCatalogTest, AMissingFolderGivesNoPacks)
{
    test::PackFixture packs;
    EXPECT_TRUE(CharacterCatalog::load(packs.root() / "absent").empty());
}

TEST(CharacterCatalogTest, ReadsItsFolderOnceAndKeepsTheList)
{
    test::PackFixture packs;
    packs.pack("velq", kValid);
    const CharacterCatalog catalog(packs.root());
    ASSERT_EQ(catalog.packs().size(), 1u);
    packs.pack("later", kValid);
    fs::remove_all(packs.root() / "velq");
    EXPECT_EQ(ids(catalog.packs()), (std::vector<std::string>{"velq"}));
}

TEST(CharacterCatalogTest, AnimationForAMoodFallsBackToResting)
{
    test::PackFixture packs;
    packs.pack("p", test::PackFixture::manifest(32, {{"resting", "rest.png"}, {"active", "act.png"}}));
    const auto loaded = CharacterCatalog::load(packs.root());
    ASSERT_EQ(loaded.size(), 1u);
    const NotchCharacter& pack = loaded[0];
    EXPECT_EQ(pack.animation(CharacterMood::active)->steps[0].file, "act.png");
    EXPECT_EQ(pack.animation(CharacterMood::alert)->steps[0].file, "rest.png");
    EXPECT_EQ(pack.animation(CharacterMood::celebrating)->steps[0].file, "rest.png");
    NotchCharacter bare;
    EXPECT_EQ(bare.animation(CharacterMood::resting), nullptr);
}

TEST(CharacterCatalogTest, ResolvesTheChoiceWithFallbacks)
{
    const auto make = [](std::vector<std::string> list) {
        std::vector<NotchCharacter> packs;
        for (auto& id : list)
            packs.push_back(NotchCharacter{id, {}, {}});
        return packs;
    };
    // `picker` is what the settings picker shows as chosen: the same pack as the bar.
    const struct
    {
        const char* id;
        std::vector<std::string> packs;
        const char* expected; // nullptr: nothing
        const char* picker;
    } cases[] = {
        {"", {"velq", "other"}, "velq", "velq"},
        {"", {"a", "b"}, "a", "a"},
        {"other", {"velq", "other"}, "other", "other"},
        {"gone", {"a", "velq"}, "velq", "velq"},
        {"gone", {"b", "a"}, "b", "b"},
        {"VELQ", {"a", "velq"}, "velq", "velq"},
        {"none", {"velq"}, nullptr, "none"},
        {"usage", {"velq"}, nullptr, "usage"},
        {"usage", {}, nullptr, "usage"},
        {"velq", {}, nullptr, "none"},
        {"", {}, nullptr, "none"},
    };
    for (const auto& c : cases) {
        const auto packs = make(c.packs);
        const NotchCharacter* resolved = CharacterSettings::resolve(c.id, packs);
        if (!c.expected)
            EXPECT_EQ(resolved, nullptr) << c.id;
        else
            EXPECT_EQ(resolved ? resolved->id : "(nothing)", c.expected) << "'" << c.id << "'";
        EXPECT_EQ(CharacterSettings::effectiveChoice(c.id, packs), c.picker) << "'" << c.id << "'";
    }
}

TEST(CharacterCatalogTest, SelectedIdIsEmptyUnlessAStringIsStored)
{
    test::MemoryDefaults defaults;
    EXPECT_EQ(CharacterSettings::selectedId(defaults), "");
    defaults.setValue(CharacterSettings::kSelectedCharacterKey, 3);
    EXPECT_EQ(CharacterSettings::selectedId(defaults), "");
    defaults.setValue(CharacterSettings::kSelectedCharacterKey, "usage");
    EXPECT_EQ(CharacterSettings::selectedId(defaults), "usage");
}
