#pragma once

#include "Characters/NotchCharacter.h"

#include <QImage>
#include <QRect>
#include <QSize>
#include <filesystem>
#include <map>
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

// One budget for a whole pack, far above what a drawn character needs: a pack may stay inside
// every per-sheet bound and still ask for gigabytes through many steps or frames.
inline constexpr std::int64_t kMaxPackSteps = 256;
inline constexpr std::int64_t kMaxPackFrames = 4096;
// The decoded sheets and the frames cut from them, in 32-bit pixels.
inline constexpr std::int64_t kMaxPackBytes = std::int64_t(64) * 1024 * 1024;

// Every frame of a pack, cut once: what each step of each animation plays, by animation key. Steps
// that name the same sheet share its frames.
struct PackFrames
{
    QRect content;
    std::map<std::string, std::vector<std::vector<QImage>>> steps;
};

// The sheet a step names, when it lies inside the pack: absolute paths, "..", a missing file and
// a symlink that leads out of the pack give none.
std::optional<std::filesystem::path> sheetPath(const NotchCharacter& character, const std::string& file);

// The size a sheet's header states, read without decoding its pixels; none for a file that is not
// a regular one (a FIFO or a device is refused without waiting on it), unreadable, or larger than
// the bounds above.
std::optional<QSize> sheetSize(const std::filesystem::path& path);

// The sheet's first image in 8-bit ARGB, or a null image when it is not a regular file, missing,
// unreadable, or larger than the bounds above.
QImage readSheet(const std::filesystem::path& path);

// Why the pack is over its budget, judged from its manifest and its sheets' headers before any
// pixel is decoded; none when it fits.
std::optional<std::string> budgetFault(const NotchCharacter& character);

// Decodes each sheet of the pack once and cuts every step's frames to the content box. An empty
// result for a pack over its budget. Slow for a large pack: run it on a worker.
PackFrames loadPack(const NotchCharacter& character);

// The smallest box, in one frame's pixels, holding every pixel with alpha above 10 of every frame
// of every animation of the pack; the whole frame when none has such a pixel or no sheet reads.
// Frame sizes below 1 give (0, 0, width, height); sizes beyond the bound give an empty box.
QRect contentBox(const NotchCharacter& character);

// The step's frames, left to right, each cut to `content`: at most the step's frame count and as
// many as the sheet holds. Empty for an unusable sheet or frame size.
std::vector<QImage> load(const AnimationStep& step, const NotchCharacter& character, const QRect& content);

} // namespace CharacterFrames
} // namespace velquist
