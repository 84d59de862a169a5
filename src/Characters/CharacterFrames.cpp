#include "Characters/CharacterFrames.h"

#include <QFile>
#include <QImageReader>
#include <QString>
#include <algorithm>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <variant>

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

bool withinSheetBounds(const QSize& size)
{
    return size.isValid() && size.width() <= kMaxSheetSide && size.height() <= kMaxSheetSide &&
           qint64(size.width()) * size.height() <= kMaxSheetPixels;
}

// A sheet opened for reading only when the descriptor is a regular file: a FIFO or a device put
// in a pack is refused at once rather than waited on. The path is already canonical, so a link
// swapped in since is refused too.
std::unique_ptr<QFile> openRegular(const fs::path& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW);
    if (fd < 0)
        return nullptr;
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    auto file = std::make_unique<QFile>();
    if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return nullptr;
    }
    return file;
}

// The frames a sheet holds, up to `wanted`, each cut to `content`; null where the box falls
// outside the sheet.
std::vector<QImage> cutFrames(const QImage& sheet, std::int64_t wanted, std::int64_t frameWidth,
                              const QRect& content)
{
    std::vector<QImage> frames;
    const std::int64_t count = std::min<std::int64_t>(sheet.width() / frameWidth, wanted);
    for (std::int64_t i = 0; i < count; ++i) {
        const QRect crop = QRect(content.x() + static_cast<int>(i * frameWidth), content.y(), content.width(),
                                 content.height())
                               .intersected(sheet.rect());
        frames.push_back(crop.isEmpty()
                             ? QImage()
                             : sheet.copy(crop).convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }
    return frames;
}

// What loading a pack will decode and cut, measured from the manifest and the sheets' headers.
struct Plan
{
    struct Sheet
    {
        fs::path path;
        QSize size;
        // The most frames any step takes from it.
        std::int64_t frames = 0;
    };
    std::vector<Sheet> sheets;
    // Per animation key, per step: the sheet's index (-1 for none) and the frames it plays.
    std::map<std::string, std::vector<std::pair<int, std::int64_t>>> steps;
};

std::variant<Plan, std::string> plan(const NotchCharacter& character)
{
    const CharacterManifest& manifest = character.manifest;
    std::int64_t stepCount = 0;
    for (const auto& [key, animation] : manifest.animations)
        stepCount += static_cast<std::int64_t>(animation.steps.size());
    if (stepCount > kMaxPackSteps)
        return std::to_string(stepCount) + " steps, more than " + std::to_string(kMaxPackSteps);

    Plan result;
    const std::int64_t fw = manifest.frameWidth;
    const std::int64_t fh = manifest.frameHeight;
    const bool usable = frameSizeUsable(fw, fh);
    std::map<fs::path, int> indexOf;
    for (const auto& [key, animation] : manifest.animations) {
        auto& planned = result.steps[key];
        for (const AnimationStep& step : animation.steps) {
            int index = -1;
            std::int64_t count = 0;
            const auto path = usable ? sheetPath(character, step.file) : std::nullopt;
            if (path) {
                if (const auto known = indexOf.find(*path); known != indexOf.end()) {
                    index = known->second;
                } else if (const auto size = sheetSize(*path)) {
                    index = static_cast<int>(result.sheets.size());
                    result.sheets.push_back({*path, *size, 0});
                    indexOf.emplace(*path, index);
                } else {
                    indexOf.emplace(*path, -1);
                }
            }
            if (index >= 0) {
                Plan::Sheet& sheet = result.sheets[static_cast<std::size_t>(index)];
                count = std::clamp<std::int64_t>(step.frames, 0, sheet.size.width() / fw);
                sheet.frames = std::max(sheet.frames, count);
            }
            planned.emplace_back(index, count);
        }
    }

    std::int64_t frames = 0;
    std::int64_t bytes = 0;
    for (const Plan::Sheet& sheet : result.sheets) {
        frames += sheet.frames;
        bytes += 4 * (std::int64_t(sheet.size.width()) * sheet.size.height() + sheet.frames * fw * fh);
    }
    if (frames > kMaxPackFrames)
        return std::to_string(frames) + " frames, more than " + std::to_string(kMaxPackFrames);
    if (bytes > kMaxPackBytes)
        return std::to_string(bytes / (1024 * 1024)) + " MiB of pixels, more than " +
               std::to_string(kMaxPackBytes / (1024 * 1024)) + " MiB";
    return result;
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

std::optional<QSize> sheetSize(const fs::path& path)
{
    auto file = openRegular(path);
    if (!file)
        return std::nullopt;
    QImageReader reader(file.get());
    const QSize size = reader.size();
    if (!withinSheetBounds(size))
        return std::nullopt;
    return size;
}

QImage readSheet(const fs::path& path)
{
    auto file = openRegular(path);
    if (!file)
        return {};
    QImageReader reader(file.get());
    const QSize size = reader.size();
    // A format that cannot say its size before decoding is not trusted with an allocation.
    if (!withinSheetBounds(size))
        return {};
    QImage image = reader.read();
    if (image.isNull() || image.size() != size)
        return {};
    return image.convertToFormat(QImage::Format_ARGB32);
}

std::optional<std::string> budgetFault(const NotchCharacter& character)
{
    const auto planned = plan(character);
    if (const auto* fault = std::get_if<std::string>(&planned))
        return *fault;
    return std::nullopt;
}

PackFrames loadPack(const NotchCharacter& character)
{
    PackFrames pack;
    const std::int64_t fw = character.manifest.frameWidth;
    const std::int64_t fh = character.manifest.frameHeight;
    if (fw < 1 || fh < 1) {
        pack.content = QRect(0, 0, clampToInt(fw), clampToInt(fh));
        return pack;
    }
    if (!frameSizeUsable(fw, fh))
        return pack;
    const int width = static_cast<int>(fw);
    const int height = static_cast<int>(fh);
    pack.content = QRect(0, 0, width, height);
    const auto planned = plan(character);
    const Plan* layout = std::get_if<Plan>(&planned);
    if (!layout)
        return pack;

    // Each sheet is decoded once, however many steps name it.
    std::vector<QImage> images;
    images.reserve(layout->sheets.size());
    for (const Plan::Sheet& sheet : layout->sheets) {
        QImage image = readSheet(sheet.path);
        // A sheet replaced since its header was measured is not trusted with the budget.
        images.push_back(image.size() == sheet.size ? std::move(image) : QImage());
    }

    int minX = width, maxX = -1, minY = height, maxY = -1;
    for (std::size_t index = 0; index < images.size(); ++index) {
        const QImage& sheet = images[index];
        if (sheet.isNull())
            continue;
        const std::int64_t count =
            std::min<std::int64_t>(sheet.width() / width, layout->sheets[index].frames);
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
    if (minX <= maxX && minY <= maxY)
        pack.content = QRect(minX, minY, maxX - minX + 1, maxY - minY + 1);

    // A frame whose box falls outside its sheet stays null here so that every step counts its
    // frames from the sheet's left edge.
    std::vector<std::vector<QImage>> cut(images.size());
    for (std::size_t index = 0; index < images.size(); ++index) {
        if (images[index].isNull())
            continue;
        cut[index] = cutFrames(images[index], layout->sheets[index].frames, fw, pack.content);
        images[index] = QImage();
    }
    for (const auto& [key, steps] : layout->steps) {
        auto& played = pack.steps[key];
        for (const auto& [index, count] : steps) {
            std::vector<QImage> frames;
            if (index >= 0) {
                const auto& available = cut[static_cast<std::size_t>(index)];
                const auto end = std::min<std::size_t>(available.size(), static_cast<std::size_t>(count));
                for (std::size_t f = 0; f < end; ++f) {
                    if (!available[f].isNull())
                        frames.push_back(available[f]);
                }
            }
            played.push_back(std::move(frames));
        }
    }
    return pack;
}

QRect contentBox(const NotchCharacter& character)
{
    return loadPack(character).content;
}

std::vector<QImage> load(const AnimationStep& step, const NotchCharacter& character, const QRect& content)
{
    const auto path = sheetPath(character, step.file);
    if (!path)
        return {};
    const std::int64_t fw = character.manifest.frameWidth;
    if (fw <= 0 || !frameSizeUsable(fw, character.manifest.frameHeight))
        return {};
    const QImage sheet = readSheet(*path);
    if (sheet.isNull())
        return {};
    std::vector<QImage> frames = cutFrames(sheet, step.frames, fw, content);
    std::erase_if(frames, [](const QImage& frame) { return frame.isNull(); });
    return frames;
}

} // namespace velquist::CharacterFrames
