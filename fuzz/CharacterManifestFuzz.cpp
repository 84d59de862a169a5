// Arbitrary bytes as a pack's "manifest.json": decoding must never crash, throw or read out of
// bounds, and a manifest that decodes must answer every mood and time without faults.

#include "Characters/CharacterManifest.h"
#include "Characters/NotchCharacter.h"
#include "Characters/SpriteAnimator.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

using namespace velquist;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto manifest = CharacterManifest::parse(text);
    if (!manifest)
        return 0;
    // Decoding is pure.
    if (CharacterManifest::parse(text) != manifest)
        std::abort();
    NotchCharacter character{"fuzz", *manifest, {}};
    for (CharacterMood mood : kAllCharacterMoods) {
        const MoodAnimation* animation = character.animation(mood);
        if (!animation)
            continue;
        std::vector<SpriteAnimator::Step> steps;
        for (const AnimationStep& step : animation->steps)
            steps.push_back({step.frames, step.fps, step.plays});
        for (double elapsed : {-1.0, 0.0, 0.5, 7.25, 1e9, 1e300}) {
            const auto at = SpriteAnimator::locate(elapsed, steps, animation->loops);
            if (!steps.empty() &&
                (at.step < 0 || at.step >= static_cast<std::int64_t>(steps.size()) || at.frame < 0 ||
                 at.frame >= std::max<std::int64_t>(steps[static_cast<std::size_t>(at.step)].frames, 1)))
                std::abort();
        }
    }
    return 0;
}
