#include "Characters/CharacterCatalog.h"
#include "Characters/CharacterFrames.h"
#include "Shared/AppPaths.h"

#include <gtest/gtest.h>

using namespace velquist;

// The pack drawn at build time: what the application finds in its resources.
TEST(DefaultPackTest, EveryMoodHasItsOwnFramesInsideOneBox)
{
    const auto packs =
        CharacterCatalog::load(CharacterCatalog::bundledDirectory(AppPaths::resourceDirectory()));
    ASSERT_FALSE(packs.empty()) << "no packs under " << AppPaths::resourceDirectory();
    const NotchCharacter& velq = packs.front();
    ASSERT_EQ(velq.id, CharacterCatalog::kDefaultId);
    EXPECT_FALSE(velq.manifest.credit.empty());

    const QRect box = CharacterFrames::contentBox(velq);
    EXPECT_TRUE(QRect(0, 0, velq.manifest.frameWidth, velq.manifest.frameHeight).contains(box));
    EXPECT_LT(box.width(), velq.manifest.frameWidth) << "the margins are trimmed";

    std::vector<QImage> firstFrames;
    for (CharacterMood mood : kAllCharacterMoods) {
        const auto found = velq.manifest.animations.find(std::string(toString(mood)));
        ASSERT_NE(found, velq.manifest.animations.end()) << toString(mood);
        ASSERT_FALSE(found->second.steps.empty());
        for (const AnimationStep& step : found->second.steps) {
            const auto frames = CharacterFrames::load(step, velq, box);
            EXPECT_EQ(static_cast<std::int64_t>(frames.size()), step.frames) << step.file;
            for (std::size_t i = 1; i < frames.size(); ++i)
                EXPECT_NE(frames[i], frames[i - 1]) << step.file << " frame " << i << " moves";
        }
        firstFrames.push_back(CharacterFrames::load(found->second.steps.front(), velq, box).at(0));
    }
    for (std::size_t a = 0; a < firstFrames.size(); ++a)
        for (std::size_t b = a + 1; b < firstFrames.size(); ++b)
            EXPECT_NE(firstFrames[a], firstFrames[b]) << "moods " << a << " and " << b << " look alike";
}
