#include "Platform/Linux/CompositorWindowSystem.h"

namespace velquist {

std::optional<WindowInfo> CompositorWindowSystem::activeWindow() const
{
    for (CompositorWindow& window : snapshot(Flags::focused)) {
        if (window.focused)
            return std::move(window.info);
    }
    return std::nullopt;
}

std::vector<WindowInfo> CompositorWindowSystem::windowsOf(pid_t pid) const
{
    std::vector<WindowInfo> result;
    if (pid <= 0)
        return result;
    for (CompositorWindow& window : snapshot(Flags::none)) {
        if (window.info.pid == pid)
            result.push_back(std::move(window.info));
    }
    return result;
}

std::optional<WindowInfo> CompositorWindowSystem::window(WindowId id) const
{
    if (id == 0)
        return std::nullopt;
    for (CompositorWindow& window : snapshot(Flags::none)) {
        if (window.info.id == id)
            return std::move(window.info);
    }
    return std::nullopt;
}

std::vector<WindowInfo> CompositorWindowSystem::shownWindows() const
{
    std::vector<WindowInfo> result;
    for (CompositorWindow& window : snapshot(Flags::shown)) {
        if (window.shown)
            result.push_back(std::move(window.info));
    }
    return result;
}

} // namespace velquist
