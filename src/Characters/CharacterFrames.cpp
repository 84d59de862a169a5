#include "Characters/CharacterFrames.h"

#include <QImageReader>
#include <QString>
#include <algorithm>

namespace velquist::CharacterFrames {
namespace fs = std::filesystem;

namespace {

constexpr int kOpaqueAlpha = 11;

bool frameSizeUsable(std::int64_t width, std::int64_t height)
{
    return width >= 1 && height >= 1 && width <= kMaxFrameSide && height <= kMaxFrameSide;
}

// Whether `path` is `folder` or lies beneath it, both already canonical.
bool isInside(const fs::path& path, const fs::path& folder)
{
    auto [folderEnd, pathAt] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
    return folderEnd == folder.end() && pathAt != path.end();
}

int clampToInt(std::int64_t value)
{
    return static_cast<int>(std::clamp<std::int64_t>(value, -kMaxSheetSide, kMaxSheetSide));
}

} // namespace

std::optional<fs::path> sheetPath(const NotchCharacter& character, const std::string& file)
{
    const fs::path relative(file);
    if (file.empty() || relative.has_root_path())
        return std::nullopt;
    for (const fs::path& part : relative) {
        if (part == "..")
            return std::nullopt;
    }
    std::error_code error;
    const fs::path folder = fs::canonical(character.directory, error);
    if (error)
        return std::nullopt;
    const fs::path target = fs::canonical(character.directory / relative, error);
    if (error || !isInside(target, folder))
        return std::nullopt;
    return target;
}

QImage readSheet(const fs::path& path)
{
    QImageReader reader(QString::fromStdString(path.string()));
    const QSize size = reader.size();
    // A format that cannot say its size before decoding is not trusted with an allocation.
    if (!size.isValid() || size.width() > kMaxSheetSide || size.height() > kMaxSheetSide ||
        qint64(size.width()) * size.height() > kMaxSheetPixels)
        return {};
    QImage image = reader.read();
    if (image.isNull() || image.size() != size)
        return {};
    return image.convertToFormat(QImage::Format_ARGB32);
}

QRect contentBox(const NotchCharacter& character)
{
    const std::int64_t fw = character.manifest.frameWidth;
    const std::int64_t fh = character.manifest.frameHeight;
    if (fw < 1 || fh < 1)
        return QRect(0, 0, clampToInt(fw), clampToInt(fh));
    if (!frameSizeUsable(fw, fh))
        return {};
    const int width = static_cast<int>(fw);
    const int height = static_cast<int>(fh);
    int minX = width, maxX = -1, minY = height, maxY = -1;
    for (const auto& [key, animation] : character.manifest.animations) {
        for (const AnimationStep& step : animation.steps) {
            const auto path = sheetPath(character, step.file);
            if (!path)
                continue;
            const QImage sheet = readSheet(*path);
            if (sheet.isNull())
                continue;
            const std::int64_t count = std::min<std::int64_t>(sheet.width() / width, step.frames);
            const int rows = std::min(height, sheet.height());
            for (std::int64_t f = 0; f < count; ++f) {
                for (int y = 0; y < rows; ++y) {
                    const auto* line = reinterpret_cast<const QRgb*>(sheet.constScanLine(y));
                    for (int x = 0; x < width; ++x) {
                        if (qAlpha(line[f * width + x]) < kOpaqueAlpha)
                            continue;
                        minX = std::min(minX, x);
                        maxX = std::max(maxX, x);
                        minY = std::min(minY, y);
                        maxY = std::max(maxY, y);
                    }
                }
            }
        }
    }
    if (minX <= maxX && minY <= maxY)
        return QRect(minX, minY, maxX - minX + 1, maxY - minY + 1);
    return QRect(0, 0, width, height);
}

std::vector<QImage> load(const AnimationStep& step, const NotchCharacter& character, const QRect& content)
{
    std::vector<QImage> frames;
    const auto path = sheetPath(character, step.file);
    if (!path)
        return frames;
    const std::int64_t fw = character.manifest.frameWidth;
    if (fw <= 0 || !frameSizeUsable(fw, character.manifest.frameHeight))
        return frames;
    const QImage sheet = readSheet(*path);
    if (sheet.isNull())
        return frames;
    const std::int64_t count = std::min<std::int64_t>(sheet.width() / fw, step.frames);
    for (std::int64_t i = 0; i < count; ++i) {
        const QRect crop =
            QRect(content.x() + static_cast<int>(i * fw), content.y(), content.width(), content.height())
                .intersected(sheet.rect());
        if (crop.isEmpty())
            continue;
        frames.push_back(sheet.copy(crop).convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }
    return frames;
}

} // namespace velquist::CharacterFrames
