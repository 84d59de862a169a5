#pragma once

#include "Platform/ScreenProvider.h"
#include "UI/NotchPanelMark.h"
#include "Windows/DisplayIdentity.h"
#include "Windows/PanelServices.h"
#include "support/AttentionWorld.h"
#include "support/RecordingPanelShaper.h"
#include "support/RecordingPointerSource.h"
#include "support/RecordingRowSource.h"
#include "support/RecordingScreenProvider.h"
#include "support/RecordingWindowSystem.h"

#include <QApplication>
#include <QWidget>

namespace velquist::test {

// The attention world with what panels need besides: a pointer, screens, windows and shaping that
// the test drives.
struct PanelWorld : AttentionWorld
{
    PanelWorld()
        : services{.store = store,
                   .coordinator = coordinator,
                   .privacy = &privacy,
                   .defaults = defaults,
                   .clock = clock,
                   .scheduler = clock,
                   .pointer = pointer,
                   .shaper = shaper,
                   .rows = rows}
    {
    }

    // A screen without EDID data, named by its connector.
    static ScreenInfo screen(const char* connector, QRect geometry)
    {
        ScreenInfo info;
        info.connector = QString::fromLatin1(connector);
        info.geometry = geometry;
        info.availableGeometry = geometry;
        return info;
    }
    static std::string idOf(const ScreenInfo& info)
    {
        return DisplayIdentity::idOrName(ScreenDescription::from(info));
    }
    // Every notch panel window that exists now.
    static int livePanels()
    {
        int count = 0;
        for (QWidget* widget : QApplication::topLevelWidgets())
            count += isNotchPanel(widget) ? 1 : 0;
        return count;
    }

    RecordingPointerSource pointer;
    RecordingPanelShaper shaper;
    RecordingRowSource rows;
    RecordingScreenProvider screens;
    RecordingWindowSystem windows;
    PanelServices services;
};

} // namespace velquist::test
