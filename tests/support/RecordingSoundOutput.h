#pragma once

#include "Platform/SoundOutput.h"

#include <vector>

namespace velquist::test {

// Notes every file it was asked to play, with its channel and volume.
class RecordingSoundOutput final : public SoundOutput
{
  public:
    struct Played
    {
        std::string channel;
        std::filesystem::path file;
        double volume = 0;
    };

    bool canPlaySounds() const override { return true; }
    void play(const std::string& channel, const std::filesystem::path& file, double volume) override
    {
        m_played.push_back({channel, file, volume});
    }

    const std::vector<Played>& played() const { return m_played; }

  private:
    std::vector<Played> m_played;
};

} // namespace velquist::test
