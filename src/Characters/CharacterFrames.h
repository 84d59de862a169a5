#pragma once

#include "Characters/NotchCharacter.h"

#include <QImage>
#include <QRect>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velquist {

// Cuts a pack's sprite sheets into frames. Every frame of the pack is trimmed to one shared box,
// the content box, so the moods share one size and position and the sheets' empty margins go.
namespace CharacterFrames {

// Larger frames or sheets are refused before their pixels are allocated.
inline constexpr int kMaxFrameSide = 4096;
inline constexpr int kMaxSheetSide = 16384;
inline constexpr qint64 kMaxSheetPixels = qint64(4096) * 4096;

// The sheet a step names, when it lies inside the pack: absolute paths, "..", a missing file and
// a symlink that leads out of the pack give none.
std::optional<std::filesystem::path> sheetPath(const NotchCharacter& character, const std::string& file);

// The sheet's first image in 8-bit ARGB, or a null image when it is missing, unreadable, or
// larger than the bounds above.
QImage readSheet(const std::filesystem::path& path);

// The smallest box, in one frame's pixels, holding every pixel with alpha above 10 of every frame
// of every animation of the pack; the whole frame when none has such a pixel or no sheet reads.
// Frame sizes below 1 give (0, 0, width, height); sizes beyond the bound give an empty box.
QRect contentBox(const NotchCharacter& character);

// The step's frames, left to right, each cut to `content`: at most the step's frame count and as
// many as the sheet holds. Empty for an unusable sheet or frame size.
std::vector<QImage> load(const AnimationStep& step, const NotchCharacter& character, const QRect& content);

} // namespace CharacterFrames
} // namespace velquist
