#pragma once

#include "App/AppServices.h"
#include "Characters/IntroCardPanel.h"
#include "Characters/IntroDirector.h"
#include "UI/Kit/ViewTicker.h"

namespace velquist {

class SessionStore;
class SoundSink;

// The first-run tour as the application runs it: the director with the real card panels, the
// agents found on this computer, and "jumping works" read from the desktop's window facilities
// (there is no permission to ask for on this platform, so the tour asks for none).
class Introduction
{
  public:
    Introduction(const AppServices& services, SessionStore& store, SoundSink& sound);

    IntroDirector& director() { return m_director; }
    // Starts the tour unless it has been played before.
    void startIfNotPlayed();

  private:
    const AppServices& m_services;
    ViewTicker m_ticker;
    IntroCardPanelFactory m_cards;
    IntroDirector m_director;
};

} // namespace velquist
