#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velquist {

// One strip of frames played `plays` times at `fps`.
struct AnimationStep
{
    std::string file; // the sheet, relative to the pack folder
    std::int64_t frames = 0;
    double fps = 0;
    std::int64_t plays = 1;
    bool operator==(const AnimationStep&) const = default;
};

struct MoodAnimation
{
    std::vector<AnimationStep> steps;
    bool loops = true;
    bool operator==(const MoodAnimation&) const = default;
};

// A pack's "manifest.json". Values are kept as decoded; the frame cutting and the animator decide
// how odd ones (zero sizes, negative counts) behave.
struct CharacterManifest
{
    std::string name;
    std::string credit;
    std::int64_t frameWidth = 0;
    std::int64_t frameHeight = 0;
    std::map<std::string, MoodAnimation> animations;
    std::optional<double> scale;
    bool operator==(const CharacterManifest&) const = default;

    // Decodes a manifest; none when the text is not JSON, nests too deep, lacks a required key or
    // holds a value of the wrong type. `error`, when given, says why.
    static std::optional<CharacterManifest> parse(std::string_view text, std::string* error = nullptr);
};

} // namespace velquist
