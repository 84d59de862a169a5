#pragma once

#include "Platform/SoundOutput.h"

#include <QThreadPool>
#include <map>
#include <mutex>

struct ca_context;

namespace velquist {

// Sound files played through libcanberra (PulseAudio or ALSA, whichever it finds). Opening the
// sound system and starting a sound may wait on the sound server, so both run on a thread of the
// output's own, in the order they were asked for.
class CanberraSoundOutput final : public SoundOutput
{
  public:
    CanberraSoundOutput();
    ~CanberraSoundOutput() override;
    CanberraSoundOutput(const CanberraSoundOutput&) = delete;
    CanberraSoundOutput& operator=(const CanberraSoundOutput&) = delete;

    bool canPlaySounds() const override;
    void play(const std::string& channel, const std::filesystem::path& file, double volume) override;

    // libcanberra's volume is in decibels; 0 and below is treated as silence by the caller.
    static double decibels(double volume);
    // Waits until every sound asked for so far has been handed to the sound system.
    void waitForQueue();

  private:
    void playNow(const std::string& channel, const std::filesystem::path& file, double volume);

    mutable std::mutex m_mutex;
    ca_context* m_context = nullptr;
    std::map<std::string, std::uint32_t> m_channels;
    std::uint32_t m_nextId = 1;
    QThreadPool m_thread;
};

} // namespace velquist
