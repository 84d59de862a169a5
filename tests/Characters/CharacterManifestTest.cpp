#include "Characters/CharacterManifest.h"

#include <gtest/gtest.h>

using namespace velquist;

namespace {

std::string withAnimations(const std::string& animations, const std::string& extra = "")
{
    return R"({"name":"Velq","credit":"us","frameWidth":32,"frameHeight":24,"animations":)" + animations +
           extra + "}";
}

} // namespace

TEST(CharacterManifestTest, DecodesBothAnimationFormsWithTheirDefaults)
{
    const auto manifest = CharacterManifest::parse(withAnimations(R"({
        "resting": {"file": "rest.png", "frames": 4, "fps": 8, "plays": 3},
        "active": {"sequence": [{"file": "a.png", "frames": 2, "fps": 4.5},
                                {"file": "b.png", "frames": 3, "fps": 6, "plays": 2}],
                   "file": "ignored.png", "loop": false},
        "alert": {"sequence": null, "file": "alert.png", "frames": 1, "fps": 1, "loop": null},
        "celebrating": {"sequence": []},
        "extra": {"file": "x.png", "frames": 1, "fps": 1}
    })",
                                                                  R"(,"scale":2,"unknown":[1,2])"));
    ASSERT_TRUE(manifest);
    EXPECT_EQ(manifest->name, "Velq");
    EXPECT_EQ(manifest->credit, "us");
    EXPECT_EQ(manifest->frameWidth, 32);
    EXPECT_EQ(manifest->frameHeight, 24);
    EXPECT_EQ(manifest->scale, 2.0);
    ASSERT_EQ(manifest->animations.size(), 5u);

    // The inline form plays once whatever "plays" says, and loops unless told otherwise.
    EXPECT_EQ(manifest->animations.at("resting"), (MoodAnimation{{{"rest.png", 4, 8, 1}}, true}));
    EXPECT_EQ(manifest->animations.at("active"),
              (MoodAnimation{{{"a.png", 2, 4.5, 1}, {"b.png", 3, 6, 2}}, false}));
    EXPECT_EQ(manifest->animations.at("alert"), (MoodAnimation{{{"alert.png", 1, 1, 1}}, true}));
    EXPECT_EQ(manifest->animations.at("celebrating"), (MoodAnimation{{}, true}));
    EXPECT_TRUE(manifest->animations.contains("extra"));
}

TEST(CharacterManifestTest, KeepsOddValuesAsDecoded)
{
    const auto manifest = CharacterManifest::parse(
        R"({"name":"","credit":"","frameWidth":0,"frameHeight":-3,"scale":null,
            "animations":{"resting":{"file":"r.png","frames":-1,"fps":0,"loop":true}}})");
    ASSERT_TRUE(manifest);
    EXPECT_EQ(manifest->frameWidth, 0);
    EXPECT_EQ(manifest->frameHeight, -3);
    EXPECT_FALSE(manifest->scale);
    EXPECT_EQ(manifest->animations.at("resting").steps.at(0), (AnimationStep{"r.png", -1, 0, 1}));
}

TEST(CharacterManifestTest, RefusesWhatDoesNotDecode)
{
    const std::string good = R"({"file":"r.png","frames":4,"fps":8})";
    const struct
    {
        const char* why;
        std::string text;
    } cases[] = {
        {"empty", ""},
        {"not JSON", "{"},
        {"array", "[]"},
        {"missing name", R"({"credit":"c","frameWidth":1,"frameHeight":1,"animations":{}})"},
        {"null name", R"({"name":null,"credit":"c","frameWidth":1,"frameHeight":1,"animations":{}})"},
        {"number as name", R"({"name":5,"credit":"c","frameWidth":1,"frameHeight":1,"animations":{}})"},
        {"missing credit", R"({"name":"n","frameWidth":1,"frameHeight":1,"animations":{}})"},
        {"fractional width",
         R"({"name":"n","credit":"c","frameWidth":32.5,"frameHeight":1,"animations":{}})"},
        {"width as text", R"({"name":"n","credit":"c","frameWidth":"32","frameHeight":1,"animations":{}})"},
        {"width beyond 64 bits",
         R"({"name":"n","credit":"c","frameWidth":18446744073709551615,"frameHeight":1,"animations":{}})"},
        {"width 1e300", R"({"name":"n","credit":"c","frameWidth":1e300,"frameHeight":1,"animations":{}})"},
        {"missing animations", R"({"name":"n","credit":"c","frameWidth":1,"frameHeight":1})"},
        {"animations as array",
         R"({"name":"n","credit":"c","frameWidth":1,"frameHeight":1,"animations":[]})"},
        {"scale as text", withAnimations("{}", R"(,"scale":"2")")},
        {"animation as string", withAnimations(R"({"resting":"r.png"})")},
        {"inline without fps", withAnimations(R"({"resting":{"file":"r.png","frames":4}})")},
        {"inline without file", withAnimations(R"({"resting":{"frames":4,"fps":8}})")},
        {"fractional frames", withAnimations(R"({"resting":{"file":"r.png","frames":4.5,"fps":8}})")},
        {"fps as text", withAnimations(R"({"resting":{"file":"r.png","frames":4,"fps":"8"}})")},
        {"loop as number", withAnimations(R"({"resting":{"file":"r.png","frames":4,"fps":8,"loop":1}})")},
        {"sequence as object", withAnimations(R"({"resting":{"sequence":{}}})")},
        {"bad step in sequence",
         withAnimations(R"({"resting":{"sequence":[)" + good + R"(,{"file":"b.png"}]}})")},
        {"fractional plays",
         withAnimations(R"({"resting":{"sequence":[{"file":"r.png","frames":4,"fps":8,"plays":1.5}]}})")},
        {"a bad mood spoils the rest", withAnimations(R"({"resting":)" + good + R"(,"alert":{"file":7}})")},
        {"too deep", std::string(300, '[') + std::string(300, ']')},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(CharacterManifest::parse(c.text, &error)) << c.why;
        EXPECT_FALSE(error.empty()) << c.why;
    }
}

TEST(CharacterManifestTest, TakesWholeNumbersWrittenWithAFraction)
{
    const auto manifest = CharacterManifest::parse(
        R"({"name":"n","credit":"c","frameWidth":32.0,"frameHeight":1e1,"animations":{}})");
    ASSERT_TRUE(manifest);
    EXPECT_EQ(manifest->frameWidth, 32);
    EXPECT_EQ(manifest->frameHeight, 10);
}
