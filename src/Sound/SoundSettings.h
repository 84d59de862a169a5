#pragma once

#include "Platform/Clock.h"
#include "Sound/SoundChoice.h"

#include <QObject>
#include <filesystem>
#include <map>

namespace velquist {

class UserDefaults;

// The user's sound preferences, stored as one JSON object under "soundSettings" and saved on
// every change. Main thread.
class SoundSettings final : public QObject
{
    Q_OBJECT
  public:
    using Choices = std::map<SoundEvent, SoundChoice>;

    static constexpr const char* key = "soundSettings";

    // `systemSounds` is the sound theme's folder, which decides what system names are accepted.
    SoundSettings(UserDefaults& defaults, const Clock& clock,
                  std::filesystem::path systemSounds = SoundCatalog::systemFolder(),
                  QObject* parent = nullptr);

    bool isEnabled() const { return m_isEnabled; }
    double volume() const { return m_volume; }
    const Choices& choices() const { return m_choices; }
    bool quietHoursEnabled() const { return m_quietHoursEnabled; }
    int quietStartMinutes() const { return m_quietStartMinutes; }
    int quietEndMinutes() const { return m_quietEndMinutes; }

    // Each assignment saves, whether or not the value changed.
    void setEnabled(bool value);
    void setVolume(double value);
    void setChoices(Choices value);
    void setQuietHoursEnabled(bool value);
    void setQuietStartMinutes(int value);
    void setQuietEndMinutes(int value);
    void setChoice(const SoundChoice& choice, SoundEvent event);

    // The explicit choice of an event, else its default.
    SoundChoice choice(SoundEvent event) const;
    // Whether quiet hours apply at this moment, in the local time zone.
    bool isQuietNow() const;
    // Whether `minutes` after midnight fall in the window from `start` up to `end` (exclusive),
    // which may wrap past midnight; an empty window (start == end) is never quiet.
    static bool isQuietAt(int minutes, int start, int end);
    const std::filesystem::path& systemSounds() const { return m_systemSounds; }

  Q_SIGNALS:
    // A preference really changed.
    void changed();

  private:
    void load();
    void save();
    template <typename T> void assign(T& field, T value);

    UserDefaults& m_defaults;
    const Clock& m_clock;
    const std::filesystem::path m_systemSounds;
    bool m_isEnabled = true;
    double m_volume = 0.7;
    Choices m_choices;
    bool m_quietHoursEnabled = false;
    int m_quietStartMinutes = 1380;
    int m_quietEndMinutes = 480;
};

} // namespace velquist
