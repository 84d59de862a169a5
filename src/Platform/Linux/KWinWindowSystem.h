#pragma once

#include "Platform/Linux/CompositorWindowSystem.h"

#include <QDBusConnection>
#include <QThread>
#include <atomic>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace velquist {

class KWinReportReceiver;

// Windows of a KDE Plasma session through KWin's scripting interface on D-Bus: each question is a
// small script loaded through `org.kde.KWin` `/Scripting`, run, and answered by the script calling
// back over D-Bus with what it saw (the windows, or whether it activated one); a script loaded at
// start reports changes of the active window and the window list. Windows are named by KWin's
// internal ids, each given a small id of its own for the window's life. Any thread may ask.
class KWinWindowSystem final : public CompositorWindowSystem
{
    Q_OBJECT

  public:
    static constexpr const char* service = "org.kde.KWin";
    static constexpr const char* reportPath = "/Velquist/KWinReport";

    // Works on `bus` (the session bus in the application) and writes its scripts into
    // `scriptFolder`, which it creates with mode 0700.
    KWinWindowSystem(QDBusConnection bus, std::filesystem::path scriptFolder, QObject* parent = nullptr);
    ~KWinWindowSystem() override;

    // One on the session bus when KWin is there; else none.
    static std::unique_ptr<KWinWindowSystem> create();

    bool canListWindows() const override;
    bool canActivateWindows() const override;
    bool canWatchActiveWindow() const override;
    bool activate(WindowId id) override;

  private:
    // Runs `body` as a script and returns what it reported.
    std::optional<std::string> runScript(const std::string& body) const;
    std::vector<CompositorWindow> snapshot(Flags flags) const override;
    WindowId idFor(const std::string& internalId) const;

    QDBusConnection m_bus;
    const std::filesystem::path m_folder;
    QThread m_receiverThread;
    KWinReportReceiver* m_receiver = nullptr;
    bool m_registered = false;
    bool m_watching = false;
    mutable std::atomic<std::uint64_t> m_nextToken{1};
    mutable std::mutex m_mutex;
    mutable std::map<std::string, WindowId> m_ids;
    mutable std::map<WindowId, std::string> m_internalIds;
    mutable WindowId m_nextId = 1;
};

} // namespace velquist
