#pragma once

#include "Platform/PointerSource.h"
#include "Platform/ScreenProvider.h"

#include <QMetaObject>
#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace velquist {

// Which screen took the user's last click anywhere on the desktop, for the "Wherever I last
// clicked" placement. While tracking, every button press is placed on its screen; a change of
// screen is reported through the callback. Clicks on our own panels do not count: the callback's
// owner says where those are. Main thread.
class ClickedScreenTracker final : public QObject
{
    Q_OBJECT
  public:
    // `ownsPoint` tells whether a point lies on one of our own windows; unset: none does.
    ClickedScreenTracker(PointerSource& pointer, const ScreenProvider& screens,
                         std::function<void()> onChange, std::function<bool(QPoint)> ownsPoint = {},
                         QObject* parent = nullptr);
    ~ClickedScreenTracker() override;

    // The screen of the last recorded click; none before the first and after `stop()`.
    const std::optional<std::string>& screenID() const { return m_screenID; }
    bool isTracking() const { return m_interest != nullptr; }

    // Starts watching clicks and counts the screen under the pointer as clicked; does nothing
    // while tracking.
    void start();
    // Stops watching and forgets the screen, without calling back.
    void stop();

  private:
    void record(QPoint position);

    PointerSource& m_pointer;
    const ScreenProvider& m_screens;
    std::function<void()> m_onChange;
    std::function<bool(QPoint)> m_ownsPoint;
    std::optional<std::string> m_screenID;
    std::unique_ptr<PointerSource::Interest> m_interest;
    QMetaObject::Connection m_connection;
};

} // namespace velquist
