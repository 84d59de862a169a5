#pragma once

#include <filesystem>
#include <string>

namespace velquist {

// Plays sound files through the desktop's sound system. Returns at once; playback runs elsewhere.
class SoundOutput
{
  public:
    virtual ~SoundOutput() = default;
    // Whether sounds can be played at all.
    virtual bool canPlaySounds() const = 0;
    // Plays `file` at `volume` (0 to 1). A sound still playing under the same `channel` is stopped
    // first, so one sound restarts rather than overlapping itself; other channels may overlap.
    virtual void play(const std::string& channel, const std::filesystem::path& file, double volume) = 0;
};

// For where no sound system can be reached: plays nothing and says so.
class NoSoundOutput final : public SoundOutput
{
  public:
    bool canPlaySounds() const override { return false; }
    void play(const std::string&, const std::filesystem::path&, double) override {}
};

} // namespace velquist
