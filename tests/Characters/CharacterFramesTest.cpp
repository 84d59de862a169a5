#include "Characters/CharacterFrames.h"
#include "Characters/CharacterCatalog.h"
#include "PackFixture.h"

#include <QImageWriter>
#include <gtest/gtest.h>
#include <limits>
#include <sys/stat.h>

using namespace velquist;
namespace fs = std::filesystem;

namespace {

class CharacterFramesTest : public ::testing::Test
{
  protected:
    // A pack "p" whose manifest is given; sheets are added with `packs.sheet("p/...")`.
    NotchCharacter pack(const std::string& manifest)
    {
        packs.pack("p", manifest);
        auto parsed = CharacterManifest::parse(manifest);
        EXPECT_TRUE(parsed);
        return NotchCharacter{"p", parsed.value_or(CharacterManifest{}), packs.root() / "p"};
    }

    static AnimationStep step(const std::string& file, std::int64_t frames) { return {file, frames, 8, 1}; }

    test::PackFixture packs;
};

} // namespace

TEST_F(CharacterFramesTest, ContentBoxHoldsEveryOpaquePixelOfEveryMood)
{
    const struct
    {
        const char* why;
        std::vector<std::array<int, 3>> rest;
        std::vector<std::array<int, 3>> alert;
        QRect expected;
    } cases[] = {
        {"fully transparent", {}, {}, QRect(0, 0, 16, 16)},
        {"one pixel", {{1, 5, 7}}, {}, QRect(5, 7, 1, 1)},
        {"two moods", {{0, 2, 3}}, {{2, 9, 12}}, QRect(2, 3, 8, 10)},
        {"frame beyond the count is not read", {{3, 1, 1}, {0, 8, 8}}, {}, QRect(8, 8, 1, 1)},
    };
    for (const auto& c : cases) {
        packs.sheet("p/rest.png", test::PackFixture::strip(4, 16, c.rest));
        packs.sheet("p/alert.png", test::PackFixture::strip(3, 16, c.alert));
        const auto character =
            pack(R"({"name":"n","credit":"c","frameWidth":16,"frameHeight":16,"animations":{
            "resting":{"file":"rest.png","frames":3,"fps":8},"alert":{"file":"alert.png","frames":3,"fps":8}}})");
        EXPECT_EQ(CharacterFrames::contentBox(character), c.expected) << c.why;
    }
}

TEST_F(CharacterFramesTest, AlphaAtTheThresholdCountsAsTransparent)
{
    QImage sheet = test::PackFixture::strip(1, 16);
    sheet.setPixelColor(1, 1, QColor(255, 255, 255, 10));
    sheet.setPixelColor(4, 6, QColor(255, 255, 255, 11));
    packs.sheet("p/rest.png", sheet);
    const auto character = pack(test::PackFixture::manifest(16, {{"resting", "rest.png"}}, 1));
    EXPECT_EQ(CharacterFrames::contentBox(character), QRect(4, 6, 1, 1));
}

TEST_F(CharacterFramesTest, ReadsAlphaWhateverTheStoredFormat)
{
    // A paletted, a grey-with-alpha and a 16-bit sheet: each must be read as 8-bit ARGB, never by
    // taking the last byte of whatever the file's pixel layout happens to be.
    const QImage::Format formats[] = {QImage::Format_Indexed8, QImage::Format_RGBA64, QImage::Format_ARGB32,
                                      QImage::Format_RGB32};
    for (QImage::Format format : formats) {
        QImage sheet = test::PackFixture::strip(2, 16, {{1, 3, 4}, {0, 10, 11}}).convertToFormat(format);
        packs.sheet("p/rest.png", sheet);
        const auto character = pack(test::PackFixture::manifest(16, {{"resting", "rest.png"}}, 2));
        const QRect expected = sheet.hasAlphaChannel() ? QRect(3, 4, 8, 8) : QRect(0, 0, 16, 16);
        EXPECT_EQ(CharacterFrames::contentBox(character), expected) << "format " << int(format);
    }
}

TEST_F(CharacterFramesTest, CutsAsManyFramesAsTheSheetAndTheStepAllow)
{
    packs.sheet("p/rest.png", test::PackFixture::strip(5, 32));
    QImage narrow(20, 32, QImage::Format_ARGB32);
    narrow.fill(Qt::black);
    packs.sheet("p/narrow.png", narrow);
    const auto character = pack(test::PackFixture::manifest(32, {{"resting", "rest.png"}}));
    const QRect box(2, 4, 10, 12);
    const struct
    {
        AnimationStep step;
        std::size_t frames;
    } cases[] = {
        {step("rest.png", 8), 5},      {step("rest.png", 3), 3},   {step("rest.png", 0), 0},
        {step("rest.png", -4), 0},     {step("narrow.png", 1), 0}, {step("missing.png", 4), 0},
        {step("manifest.json", 4), 0},
    };
    for (const auto& c : cases) {
        const auto frames = CharacterFrames::load(c.step, character, box);
        ASSERT_EQ(frames.size(), c.frames) << c.step.file << " " << c.step.frames;
        for (const QImage& frame : frames)
            EXPECT_EQ(frame.size(), box.size());
    }
}

TEST_F(CharacterFramesTest, FramesAreCutAtTheContentBoxOfEachFrame)
{
    packs.sheet("p/rest.png", test::PackFixture::strip(3, 16, {{0, 4, 5}, {1, 4, 5}, {2, 6, 7}}));
    const auto character = pack(test::PackFixture::manifest(16, {{"resting", "rest.png"}}, 3));
    const QRect box = CharacterFrames::contentBox(character);
    ASSERT_EQ(box, QRect(4, 5, 3, 3));
    const auto frames = CharacterFrames::load(step("rest.png", 3), character, box);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(qAlpha(frames[0].pixel(0, 0)), 255);
    EXPECT_EQ(qAlpha(frames[1].pixel(0, 0)), 255);
    EXPECT_EQ(qAlpha(frames[2].pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(frames[2].pixel(2, 2)), 255);
}

TEST_F(CharacterFramesTest, ZeroOrHugeFrameSizesGiveNoFrames)
{
    packs.sheet("p/rest.png", test::PackFixture::strip(2, 16, {{0, 1, 1}}));
    const struct
    {
        std::int64_t width, height;
        QRect box;
    } cases[] = {
        {0, 16, QRect(0, 0, 0, 16)}, {16, 0, QRect(0, 0, 16, 0)},      {-5, 16, QRect(0, 0, -5, 16)},
        {5000, 16, QRect()},         {16, 1'000'000'000'000, QRect()},
    };
    for (const auto& c : cases) {
        const std::string manifest = R"({"name":"n","credit":"c","frameWidth":)" + std::to_string(c.width) +
                                     R"(,"frameHeight":)" + std::to_string(c.height) +
                                     R"(,"animations":{"resting":{"file":"rest.png","frames":2,"fps":8}}})";
        const auto character = pack(manifest);
        EXPECT_EQ(CharacterFrames::contentBox(character), c.box) << c.width << "x" << c.height;
        EXPECT_TRUE(CharacterFrames::load(step("rest.png", 2), character, QRect(0, 0, 16, 16)).empty());
    }
}

TEST_F(CharacterFramesTest, RefusesSheetsBeyondTheBoundWithoutDecodingThem)
{
    // Wide enough to pass as a strip, but more pixels than a sheet may have.
    QImage wide(CharacterFrames::kMaxSheetSide + 1, 1, QImage::Format_ARGB32);
    wide.fill(Qt::transparent);
    QImage square(5000, 5000, QImage::Format_Mono);
    square.fill(0);
    const auto widePath = packs.sheet("p/wide.png", wide);
    const auto squarePath = packs.sheet("p/square.png", square);
    EXPECT_TRUE(CharacterFrames::readSheet(widePath).isNull());
    EXPECT_TRUE(CharacterFrames::readSheet(squarePath).isNull());
    const auto fine = packs.sheet("p/fine.png", test::PackFixture::strip(4, 32));
    const QImage read = CharacterFrames::readSheet(fine);
    EXPECT_EQ(read.size(), QSize(128, 32));
    EXPECT_EQ(read.format(), QImage::Format_ARGB32);
}

TEST_F(CharacterFramesTest, SheetsMustLieInsideThePack)
{
    packs.sheet("p/rest.png", test::PackFixture::strip(2, 16, {{0, 1, 1}}));
    packs.sheet("p/sub/inner.png", test::PackFixture::strip(2, 16, {{0, 1, 1}}));
    const auto outside = packs.sheet("outside.png", test::PackFixture::strip(2, 16, {{0, 1, 1}}));
    fs::create_symlink(outside, packs.root() / "p" / "link-out.png");
    fs::create_symlink(packs.root() / "p" / "rest.png", packs.root() / "p" / "link-in.png");
    fs::create_directory_symlink(packs.root(), packs.root() / "p" / "up");
    const auto character = pack(test::PackFixture::manifest(16, {{"resting", "rest.png"}}, 2));
    const struct
    {
        std::string file;
        bool allowed;
    } cases[] = {
        {"rest.png", true},
        {"sub/inner.png", true},
        {"./sub/../rest.png", false},
        {"link-in.png", true},
        {"../outside.png", false},
        {"sub/../../outside.png", false},
        {outside.string(), false},
        {"link-out.png", false},
        {"up/outside.png", false},
        {"", false},
        {".", false},
        {"missing.png", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CharacterFrames::sheetPath(character, c.file).has_value(), c.allowed) << c.file;
        EXPECT_EQ(CharacterFrames::load(step(c.file, 2), character, QRect(0, 0, 16, 16)).size(),
                  c.allowed ? 2u : 0u)
            << c.file;
    }
}

TEST_F(CharacterFramesTest, StepsNamingOneSheetShareItsFramesAcrossMoods)
{
    packs.sheet("p/rest.png", test::PackFixture::strip(4, 16, {{0, 2, 3}, {3, 9, 12}}));
    const auto character = pack(R"({"name":"T","credit":"c","frameWidth":16,"frameHeight":16,"animations":{
        "resting":{"sequence":[{"file":"rest.png","frames":4,"fps":8},{"file":"rest.png","frames":2,"fps":8}]},
        "alert":{"file":"rest.png","frames":3,"fps":8},
        "active":{"file":"fifo.png","frames":3,"fps":8}}})");
    // A FIFO where a sheet should be gives that step no frames instead of a read that never ends.
    ASSERT_EQ(::mkfifo((packs.root() / "p" / "fifo.png").c_str(), 0600), 0);

    EXPECT_FALSE(CharacterFrames::budgetFault(character));
    const auto frames = CharacterFrames::loadPack(character);
    EXPECT_EQ(frames.content, QRect(2, 3, 8, 10));
    const auto& resting = frames.steps.at("resting");
    const auto& alert = frames.steps.at("alert");
    ASSERT_EQ(resting.size(), 2u);
    ASSERT_EQ(resting[0].size(), 4u);
    ASSERT_EQ(resting[1].size(), 2u);
    ASSERT_EQ(alert.size(), 1u);
    ASSERT_EQ(alert[0].size(), 3u);
    EXPECT_TRUE(frames.steps.at("active").at(0).empty());
    // The same pixels, not copies: the sheet was cut once.
    for (std::size_t f = 0; f < 2; ++f) {
        EXPECT_EQ(resting[1][f].constBits(), resting[0][f].constBits()) << f;
        EXPECT_EQ(alert[0][f].constBits(), resting[0][f].constBits()) << f;
    }
    EXPECT_EQ(resting[0][0].size(), QSize(8, 10));
}

TEST_F(CharacterFramesTest, APackOverItsBudgetIsRefusedBeforeAnyDecoding)
{
    const auto sequence = [](const std::string& file, const std::string& frames, int steps) {
        std::string out;
        for (int i = 0; i < steps; ++i)
            out += std::string(i ? "," : "") + R"({"file":")" + file + R"(","frames":)" + frames +
                   R"(,"fps":8})";
        return R"({"sequence":[)" + out + "]}";
    };
    const auto manifest = [](int frameWidth, int frameHeight, const std::string& resting) {
        return R"({"name":"T","credit":"c","frameWidth":)" + std::to_string(frameWidth) +
               R"(,"frameHeight":)" + std::to_string(frameHeight) + R"(,"animations":{"resting":)" + resting +
               "}}";
    };
    // Sheets of a few kilobytes that would decode to 64 MiB each: a colour table and one colour.
    QImage huge(4096, 4096, QImage::Format_Mono);
    huge.fill(1);
    packs.sheet("p/huge.png", huge);
    QImage strip(CharacterFrames::kMaxSheetSide, 1024, QImage::Format_Mono);
    strip.fill(1);
    packs.sheet("p/strip.png", strip);
    packs.sheet("p/small.png", test::PackFixture::strip(4, 16, {{0, 1, 1}}));
    const std::string maxFrames = std::to_string(std::numeric_limits<std::int64_t>::max());
    const struct
    {
        std::string why;
        std::string manifest;
        bool refused;
    } cases[] = {
        {"a small pack", manifest(16, 16, sequence("small.png", "4", 20)), false},
        {"as many steps as allowed",
         manifest(16, 16, sequence("small.png", "4", CharacterFrames::kMaxPackSteps)), false},
        {"too many steps", manifest(16, 16, sequence("small.png", "4", CharacterFrames::kMaxPackSteps + 1)),
         true},
        {"twenty steps of a sheet that decodes to 64 MiB",
         manifest(4096, 4096, sequence("huge.png", "1", 20)), true},
        {"one sheet, frames one pixel wide at the 64-bit maximum",
         manifest(1, 1024, sequence("strip.png", maxFrames, 12)), true},
        {"the same sheet with few frames still decodes past the budget",
         manifest(1024, 1024, sequence("strip.png", "1", 1)), true},
    };
    for (const auto& c : cases) {
        const auto character = pack(c.manifest);
        EXPECT_EQ(CharacterFrames::budgetFault(character).has_value(), c.refused) << c.why;
        const auto frames = CharacterFrames::loadPack(character);
        EXPECT_EQ(frames.steps.empty(), c.refused) << c.why;
    }
}
