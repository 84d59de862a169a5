#pragma once

#include "Core/SoundSink.h"

#include <string>
#include <vector>

namespace velquist::test {

// Notes every sound it was asked to play, by name: the event's ("permission") or the interface
// sound's prefixed with "ui:" ("ui:tap").
class RecordingSoundSink final : public SoundSink
{
  public:
    void play(SoundEvent event) override { m_played.emplace_back(toString(event)); }
    void play(InterfaceSound sound) override { m_played.push_back("ui:" + std::string(builtInName(sound))); }

    const std::vector<std::string>& played() const { return m_played; }
    void clear() { m_played.clear(); }
    void dropLast() { m_played.pop_back(); }

  private:
    std::vector<std::string> m_played;
};

} // namespace velquist::test
