#pragma once

#include "Characters/CharacterCatalog.h"
#include "support/base/TemporaryHome.h"

#include <QImage>
#include <QString>
#include <array>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace velquist::test {

// Character packs made on the spot in a temporary folder.
class PackFixture
{
  public:
    const std::filesystem::path& root() const { return m_folder.path(); }

    std::filesystem::path write(const std::string& relative, const std::string& text) const
    {
        const auto path = root() / relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    std::filesystem::path pack(const std::string& id, const std::string& manifest) const
    {
        return write(id + "/manifest.json", manifest).parent_path();
    }

    // A transparent strip of `frames` frames of `side` pixels; `opaque` lists (frame, x, y) pixels
    // painted fully opaque.
    static QImage strip(int frames, int side, const std::vector<std::array<int, 3>>& opaque = {})
    {
        QImage image(frames * side, side, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        for (const auto& [frame, x, y] : opaque)
            image.setPixelColor(frame * side + x, y, QColor(200, 100, 50, 255));
        return image;
    }

    std::filesystem::path sheet(const std::string& relative, const QImage& image) const
    {
        const auto path = root() / relative;
        std::filesystem::create_directories(path.parent_path());
        image.save(QString::fromStdString(path.string()), "png");
        return path;
    }

    // A manifest with one animation per given mood, each one inline step.
    static std::string manifest(int frameSide, const std::vector<std::pair<std::string, std::string>>& moods,
                                int frames = 4, double fps = 8)
    {
        std::string animations;
        for (const auto& [mood, file] : moods) {
            if (!animations.empty())
                animations += ",";
            animations += "\"" + mood + "\":{\"file\":\"" + file + "\",\"frames\":" + std::to_string(frames) +
                          ",\"fps\":" + std::to_string(fps) + "}";
        }
        return "{\"name\":\"Test\",\"credit\":\"tests\",\"frameWidth\":" + std::to_string(frameSide) +
               ",\"frameHeight\":" + std::to_string(frameSide) + ",\"animations\":{" + animations + "}}";
    }

  private:
    TemporaryFolder m_folder;
};

} // namespace velquist::test
