#pragma once

#include "Actions/TapSound.h"
#include "Core/PrivacyGuard.h"
#include "Core/SoundSink.h"
#include "Sound/SoundChoice.h"

#include <QPointer>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace velquist {

class SoundOutput;
class SoundSettings;

// Plays event sounds, interface sounds and the settings window's previews with the user's sound
// settings. Built-in sounds come from our resource folder, system sounds from the desktop's sound
// theme, read in place. Main thread.
class SoundPlayer final : public SoundSink, public TapSound
{
  public:
    // `builtInFolder` holds "<name>.wav" for each built-in sound.
    SoundPlayer(SoundSettings& settings, SoundOutput& output, std::filesystem::path builtInFolder);

    // Interface sounds stay silent while privacy mode is on; none means never private.
    void setPrivacy(const PrivacyGuard* privacy);

    void play(SoundEvent event) override;
    void play(InterfaceSound sound) override;
    // The dispatcher's confirmation of a button.
    void playTap() override { play(InterfaceSound::tap); }
    // Plays `choice` now, whatever the switches say.
    void preview(const SoundChoice& choice);

    // The file a choice plays, or none when it is off or the sound cannot be found.
    std::optional<std::filesystem::path> resolve(const SoundChoice& choice);

  private:
    void playChoice(const SoundChoice& choice);

    SoundSettings& m_settings;
    SoundOutput& m_output;
    const std::filesystem::path m_builtInFolder;
    QPointer<const PrivacyGuard> m_privacy;
    // Found sounds by "builtin:<name>" or "system:<name>"; a sound not found is looked up again.
    std::map<std::string, std::filesystem::path> m_cache;
};

} // namespace velquist
