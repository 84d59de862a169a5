#include "App/Introduction.h"

#include "App/IntroAgentScan.h"
#include "Platform/MotionPreference.h"
#include "Platform/PanelShaper.h"
#include "Platform/UserDefaults.h"
#include "Platform/WindowSystem.h"

#include <QGuiApplication>

namespace velquist {

Introduction::Introduction(const AppServices& services, SessionStore& store, SoundSink& sound)
    : m_services(services), m_ticker(services.scheduler, services.clock),
      m_cards(
          m_ticker, services.scheduler,
          [&services] { return services.motion && services.motion->reducesMotion(); },
          [&services] { return services.windows.canActivateWindows(); },
          [&services] {
              // Only an X11 desktop can lack a compositor.
              return QGuiApplication::platformName() != QLatin1String("xcb") ||
                     (services.panelShaper && services.panelShaper->drawsTranslucency());
          },
          services.panelShaper),
      m_director(IntroDirector::Services{
          store, services.defaults, services.clock, services.scheduler, services.screens, &services.pointer,
          &m_cards, [&services] { return IntroAgentScan::find(services.paths, services.defaults); }})
{
    m_director.setSound(&sound);
    m_director.setAccessibilityIsGranted([&services] { return services.windows.canActivateWindows(); });
    m_director.setUnreachableDesktop([&services] { return services.windows.unreachableDesktop(); });
}

void Introduction::startIfNotPlayed()
{
    if (!m_services.defaults.boolValue(IntroDirector::kPlayedKey).value_or(false))
        m_director.start();
}

} // namespace velquist
