#include "Windows/ClickedScreenTracker.h"

#include "Windows/DisplayIdentity.h"

namespace velquist {

ClickedScreenTracker::ClickedScreenTracker(PointerSource& pointer, const ScreenProvider& screens,
                                           std::function<void()> onChange,
                                           std::function<bool(QPoint)> ownsPoint, QObject* parent)
    : QObject(parent), m_pointer(pointer), m_screens(screens), m_onChange(std::move(onChange)),
      m_ownsPoint(std::move(ownsPoint))
{
}

ClickedScreenTracker::~ClickedScreenTracker()
{
    disconnect(m_connection);
}

void ClickedScreenTracker::start()
{
    if (m_interest)
        return;
    // Watching first: the recording below may run a placement pass that starts us again.
    m_interest = std::make_unique<PointerSource::Interest>(m_pointer);
    m_connection = connect(&m_pointer, &PointerSource::buttonPressed, this, [this](QPoint position) {
        if (!m_ownsPoint || !m_ownsPoint(position))
            record(position);
    });
    if (const auto position = m_pointer.position())
        record(*position);
}

void ClickedScreenTracker::stop()
{
    disconnect(m_connection);
    m_interest.reset();
    m_screenID.reset();
}

void ClickedScreenTracker::record(QPoint position)
{
    std::vector<ScreenDescription> screens;
    for (const ScreenInfo& screen : m_screens.screens())
        screens.push_back(ScreenDescription::from(screen));
    const auto index = DisplayIdentity::screenContaining(position, screens);
    if (!index)
        return;
    const auto id = DisplayIdentity::id(screens[*index]);
    if (!id || id == m_screenID)
        return;
    m_screenID = id;
    if (m_onChange)
        m_onChange();
}

} // namespace velquist
