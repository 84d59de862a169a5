// The settings window: its tab bar and each tab's page in its states.

#include "RenderRegistry.h"

#include "Core/QtScheduler.h"
#include "Ingestion/HookInstaller.h"
#include "Platform/LoginItem.h"
#include "Platform/ScreenProvider.h"
#include "Platform/UnavailableWindowSystem.h"
#include "Platform/UserDefaults.h"
#include "Settings/GeneralSettingsTab.h"
#include "Settings/IntegrationSettingsTab.h"
#include "Settings/SettingsWindow.h"
#include "Shared/HomePaths.h"
#include "Terminal/JumpRuleStore.h"

#include <QTemporaryDir>
#include <fstream>

namespace velquist::render {
namespace {

class FixedLoginItem final : public LoginItem
{
  public:
    bool isEnabled() const override { return true; }
    FileResult enable() override { return {}; }
    FileResult disable() override { return {}; }
};

class TwoScreens final : public ScreenProvider
{
  public:
    std::vector<ScreenInfo> screens() const override
    {
        ScreenInfo laptop;
        laptop.connector = "eDP-1";
        laptop.geometry = QRect(0, 0, 1920, 1200);
        ScreenInfo external;
        external.connector = "DP-2";
        external.manufacturer = "Dell";
        external.model = "U2720Q";
        external.serialNumber = "7";
        external.geometry = QRect(1920, 0, 3840, 2160);
        return {laptop, external};
    }
    bool canReportNotch() const override { return false; }
    void setChangeHandler(std::function<void()>) override {}
};

// A desktop that lets us see and raise windows.
class ReachableWindows final : public WindowSystem
{
  public:
    bool canListWindows() const override { return true; }
    bool canActivateWindows() const override { return true; }
    bool canWatchActiveWindow() const override { return true; }
    std::optional<WindowInfo> activeWindow() const override { return std::nullopt; }
    std::vector<WindowInfo> windowsOf(pid_t) const override { return {}; }
    std::optional<WindowInfo> window(WindowId) const override { return std::nullopt; }
    std::vector<WindowInfo> shownWindows() const override { return {}; }
    bool activate(WindowId) override { return false; }
};

NotchCharacter pack(const std::string& id, const std::string& name)
{
    NotchCharacter character;
    character.id = id;
    character.manifest.name = name;
    return character;
}

// Claude Code's settings in a scratch home, so the renders never read or write the user's.
struct ScratchHome
{
    HomePaths paths() const { return HomePaths(folder.path().toStdString()); }
    void writeSettings(const std::string& text) const
    {
        std::filesystem::create_directories(paths().claudeSettings().parent_path());
        std::ofstream(paths().claudeSettings()) << text;
    }

    QTemporaryDir folder;
};

const RenderRegistration window("settings", [](const RenderContext&, RenderSink& sink) {
    UserDefaults defaults;
    FixedLoginItem login;
    TwoScreens screens;
    ReachableWindows reachable;
    UnavailableWindowSystem unreachable;
    QtScheduler scheduler;
    ScratchHome home;
    JumpRuleStore rules(defaults);
    const std::vector<NotchCharacter> characters{pack("velq", "Velq"), pack("pixel", "Pixel")};

    const auto general = [&] {
        return new GeneralSettingsTab({defaults, login, screens, characters, [] {}});
    };
    const auto integrations = [&](const WindowSystem& windows, JumpRuleStore* store) {
        return [&windows, store, &defaults, &scheduler, &home] {
            return new IntegrationSettingsTab({defaults, home.paths(), windows, store, scheduler});
        };
    };

    SettingsWindow settings;
    settings.setPageFactory(SettingsTab::general, general);
    sink.widget("general", settings, QSize(SettingsWindow::kWidth, 620));
    sink.widget("general-whole", settings, QSize(SettingsWindow::kWidth, 1040));

    defaults.setValue("displayMode", "display:0000-GONE");
    defaults.setValue("expandTrigger", "click");
    defaults.setValue("opensOnAttention", false);
    defaults.setValue("selectedCharacterId", "usage");
    defaults.setValue("hidesWhenIdle", true);
    settings.setSelection(SettingsTab::general);
    sink.widget("general-changed", settings, QSize(SettingsWindow::kWidth, 1100));

    home.writeSettings(R"({"env": {"CLAUDE_CODE_DISABLE_TERMINAL_TITLE": "1"}})");
    settings.setPageFactory(SettingsTab::integrations, integrations(unreachable, nullptr));
    settings.setSelection(SettingsTab::integrations);
    sink.widget("integrations-titles-off", settings, QSize(SettingsWindow::kWidth, 620));

    home.writeSettings("{}");
    HookInstaller::installHooks(HookInstaller::claudeTarget(home.paths(), defaults));
    settings.setPageFactory(SettingsTab::integrations, integrations(reachable, &rules));
    settings.setSelection(SettingsTab::integrations);
    sink.widget("integrations-no-rules", settings, QSize(SettingsWindow::kWidth, 620));

    rules.add(JumpRule::make("org.example.Terminal", "myterm://focus?tty={tty}"));
    rules.add(JumpRule::make("", "", false));
    settings.setSelection(SettingsTab::integrations);
    sink.widget("integrations-rules", settings, QSize(SettingsWindow::kWidth, 620));
});

} // namespace
} // namespace velquist::render
