#include "UI/StatusItemController.h"
#include "support/AttentionWorld.h"
#include "support/RecordingScreenGrabber.h"
#include "support/WidgetFinder.h"
#include "support/base/TemporaryFolder.h"

#include <QApplication>
#include <QImage>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>
#include <fstream>
#include <gtest/gtest.h>

using namespace velquist;
using namespace velquist::test;
namespace fs = std::filesystem;

namespace {

QIcon plainIcon(const QColor& colour = Qt::white)
{
    QPixmap pixmap(22, 22);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

// The icon the tray shows, as one pixel of its middle.
QColor shownColour(StatusItemController& controller)
{
    return controller.trayIcon().icon().pixmap(QSize(22, 22)).toImage().pixelColor(11, 11);
}

// The menu's items as the user reads them: "-" for a separator, a leading "!" when disabled and a
// trailing " [x]" when checked.
QStringList itemsOf(const QMenu& menu)
{
    QStringList items;
    for (const QAction* action : menu.actions()) {
        if (action->isSeparator()) {
            items << "-";
            continue;
        }
        items << (action->isEnabled() ? "" : "!") + action->text() + (action->isChecked() ? " [x]" : "");
    }
    return items;
}

class StatusItemControllerTest : public ::testing::Test
{
  protected:
    StatusItemControllerTest()
    {
        target = HookInstaller::claudeTarget(HomePaths(world.folder.path()), world.defaults);
        target.configURL = world.folder.path() / "claude" / "settings.json";
        target.backupURL = world.folder.path() / "claude" / "settings.json.velquist.bak";
    }

    std::unique_ptr<StatusItemController> make(bool tray = true)
    {
        StatusItemController::Services services;
        services.icon = plainIcon();
        services.lightTrayIcon = plainIcon(Qt::black);
        services.privacy = &world.privacy;
        services.coordinator = &world.coordinator;
        services.claudeTarget = [this] { return target; };
        services.windowAccess = [this] { return windowAccess; };
        services.replayIntro = [this] { ++introStarts; };
        services.openSettings = [this] { ++settingsOpened; };
        services.quit = [this] { ++quits; };
        services.trayAvailable = [tray] { return tray; };
        auto controller = std::make_unique<StatusItemController>(std::move(services), world.clock, screen);
        // Every alert is noted and answered with the button the test chose.
        QObject::connect(controller.get(), &StatusItemController::alertShown, controller.get(),
                         [this](QMessageBox* alert) {
                             alerts << alert->text() + " | " + alert->informativeText();
                             alertsOnTop.push_back(alert->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
                             QTimer::singleShot(0, alert, [this, alert] {
                                 for (QAbstractButton* button : alert->buttons()) {
                                     if (button->text().remove('&') == answer ||
                                         alert->buttons().size() == 1) {
                                         button->click();
                                         return;
                                     }
                                 }
                                 ADD_FAILURE() << "no button " << answer.toStdString();
                                 alert->reject();
                             });
                         });
        controller->refreshPrivacyItem();
        return controller;
    }

    QAction& item(StatusItemController& controller, const QString& title)
    {
        for (QAction* action : controller.menu().actions()) {
            if (action->text() == title)
                return *action;
        }
        throw std::runtime_error("no menu item " + title.toStdString());
    }

    AttentionWorld world;
    HookInstallTarget target;
    bool windowAccess = true;
    int introStarts = 0;
    int settingsOpened = 0;
    int quits = 0;
    QString answer;
    QStringList alerts;
    std::vector<bool> alertsOnTop;
    RecordingScreenGrabber screen;
};

TEST_F(StatusItemControllerTest, TheIconSuitsItsTrayAndFadesVisiblyUnderPrivacy)
{
    struct Case
    {
        const char* name;
        std::optional<QColor> background;
        QColor ink;
    };
    const Case cases[] = {
        {"unknown tray", std::nullopt, Qt::white},
        {"dark panel", QColor(0x2b, 0x2b, 0x2b), Qt::white},
        {"light tray", QColor(0xdc, 0xda, 0xd5), Qt::black},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        screen.shown = QImage();
        if (c.background)
            screen.fill(*c.background);
        auto controller = make();
        controller->refreshTrayColours();
        const QColor normal = shownColour(*controller);
        EXPECT_EQ(normal.rgb(), c.ink.rgb());
        EXPECT_EQ(normal.alpha(), 255);
        EXPECT_EQ(screen.areas.back(), controller->trayIcon().geometry()) << "the screen around the icon";

        world.privacy.setActive(true);
        controller->refreshPrivacyItem();
        const QColor dimmed = shownColour(*controller);
        EXPECT_EQ(dimmed.rgb(), c.ink.rgb()) << "the same ink, faded";
        EXPECT_LE(dimmed.alpha(), 255 * 0.4);
        world.privacy.setActive(false);
        controller->refreshPrivacyItem();
        EXPECT_EQ(shownColour(*controller).alpha(), 255);
    }
}

TEST_F(StatusItemControllerTest, LooksAtTheTrayAgainWhileItSettles)
{
    using namespace std::chrono_literals;
    auto controller = make();
    EXPECT_TRUE(screen.areas.empty()) << "nothing is painted around the icon before the tray embeds it";
    world.clock.advance(250ms);
    EXPECT_EQ(screen.areas.size(), 1u);
    EXPECT_EQ(shownColour(*controller).rgb(), QColor(Qt::white).rgb())
        << "an unreadable tray keeps the white ink";

    // The tray paints its light background late.
    screen.fill(QColor(0xdc, 0xda, 0xd5));
    world.clock.advance(749ms);
    EXPECT_EQ(screen.areas.size(), 1u);
    world.clock.advance(1ms);
    EXPECT_EQ(screen.areas.size(), 2u);
    EXPECT_EQ(shownColour(*controller).rgb(), QColor(Qt::black).rgb());

    world.clock.advance(2s);
    EXPECT_EQ(screen.areas.size(), 3u);
    world.clock.advance(1h);
    EXPECT_EQ(screen.areas.size(), 3u) << "three looks, then only when asked";

    // A controller that goes, or stops looking, before its looks leaves none behind.
    controller = make();
    controller.reset();
    world.clock.advance(1h);
    controller = make();
    controller->stopTrayLooks();
    world.clock.advance(1h);
    EXPECT_EQ(screen.areas.size(), 3u);
}

TEST(StatusItemVersionTest, VersionLine)
{
    EXPECT_EQ(StatusItemController::versionLine(QString()), "Velquist dev");
    EXPECT_EQ(StatusItemController::versionLine(QStringLiteral("1.4.2")), "Velquist 1.4.2");
}

TEST_F(StatusItemControllerTest, TheMenuListsItsItemsInOrder)
{
    auto controller = make();
    EXPECT_EQ(itemsOf(controller->menu()),
              QStringList({"!Velquist dev", "!Check for Updates…", "-", "Install Claude Code Hooks…",
                           "Grant Accessibility Access…", "Replay Intro", "-", "Privacy Mode", "-",
                           "Settings…", "Quit Velquist"}));
    EXPECT_EQ(item(*controller, "Settings…").shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Comma));
    EXPECT_EQ(item(*controller, "Quit Velquist").shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    item(*controller, "Quit Velquist").trigger();
    item(*controller, "Replay Intro").trigger();
    EXPECT_EQ(quits, 1);
    EXPECT_EQ(introStarts, 1);
}

TEST_F(StatusItemControllerTest, WithATrayTheMenuStaysThere)
{
    auto controller = make();
    EXPECT_TRUE(controller->hasTray());
    item(*controller, "Settings…").trigger();
    EXPECT_EQ(settingsOpened, 1);
    QWidget window;
    new QVBoxLayout(&window);
    controller->attachMenu(window);
    EXPECT_EQ(window.findChild<QMenuBar*>(), nullptr);
}

TEST_F(StatusItemControllerTest, WithoutATrayTheSettingsWindowCarriesTheMenu)
{
    auto controller = make(false);
    EXPECT_FALSE(controller->hasTray());
    QWidget window;
    new QVBoxLayout(&window);
    controller->attachMenu(window);
    controller->attachMenu(window);
    ASSERT_EQ(window.findChildren<QMenuBar*>().size(), 1) << "once per window";
    auto* bar = window.findChild<QMenuBar*>();
    ASSERT_EQ(bar->actions().size(), 1);
    EXPECT_EQ(bar->actions()[0]->text(), "Velquist");
    EXPECT_EQ(bar->actions()[0]->menu(), &controller->menu());
    bar->resize(bar->sizeHint());
    const QImage shown = bar->grab().toImage();
    EXPECT_LT(shown.pixelColor(shown.width() - 2, shown.height() / 2).lightness(), 60)
        << "dark, as the window it sits on";
    item(*controller, "Quit Velquist").trigger();
    EXPECT_EQ(quits, 1);
}

TEST_F(StatusItemControllerTest, InstallingHooksAsksFirstAndWritesOnlyWhenAsked)
{
    auto controller = make();
    answer = "Cancel";
    item(*controller, "Install Claude Code Hooks…").trigger();
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts[0].startsWith("Install Claude Code hooks? | Velquist adds observation hooks"));
    EXPECT_FALSE(fs::exists(target.configURL)) << "cancel writes nothing";

    answer = "Install";
    item(*controller, "Install Claude Code Hooks…").trigger();
    EXPECT_TRUE(HookInstaller::hooksInstalled(target));
    EXPECT_EQ(alerts.size(), 2) << "success shows nothing further";

    const std::string installed = readFile(target.configURL);
    item(*controller, "Install Claude Code Hooks…").trigger();
    ASSERT_EQ(alerts.size(), 3);
    EXPECT_EQ(alerts[2],
              "Hooks already installed | Claude Code is already reporting sessions to Velquist. New "
              "sessions appear in the notch automatically.");
    EXPECT_EQ(readFile(target.configURL), installed);
    EXPECT_EQ(alertsOnTop, std::vector<bool>(3, true)) << "alerts open above other windows";
}

TEST_F(StatusItemControllerTest, AFailedInstallShowsTheInstallersError)
{
    fs::create_directories(target.configURL.parent_path());
    std::ofstream(target.configURL) << "[1, 2]";
    auto controller = make();
    answer = "Install";
    item(*controller, "Install Claude Code Hooks…").trigger();
    ASSERT_EQ(alerts.size(), 2);
    EXPECT_EQ(alerts[1], QString::fromStdString(target.configURL.string()) +
                             " is not a JSON object; refusing to modify it. | ");
    EXPECT_EQ(readFile(target.configURL), "[1, 2]");
}

TEST_F(StatusItemControllerTest, WindowAccessIsReportedAsItIs)
{
    auto controller = make();
    item(*controller, "Grant Accessibility Access…").trigger();
    windowAccess = false;
    item(*controller, "Grant Accessibility Access…").trigger();
    ASSERT_EQ(alerts.size(), 2);
    EXPECT_TRUE(alerts[0].startsWith("Accessibility already granted | Velquist can jump"));
    EXPECT_TRUE(alerts[1].startsWith("Window access is not available | "));
}

TEST_F(StatusItemControllerTest, ThePrivacyItemFollowsTheGuardAndTogglesIt)
{
    auto controller = make();
    QObject::connect(&world.privacy, &PrivacyGuard::changed, controller.get(),
                     &StatusItemController::refreshPrivacyItem);
    const qint64 normalIcon = controller->trayIcon().icon().cacheKey();
    world.ask("claude:a");
    world.sound.clear();
    world.mirroring.setMirrored(true);
    world.mirroring.displaysChanged();
    EXPECT_EQ(itemsOf(controller->menu())[7], "Privacy Mode (screen is mirrored) [x]");
    EXPECT_NE(controller->trayIcon().icon().cacheKey(), normalIcon) << "dimmed";

    item(*controller, "Privacy Mode (screen is mirrored)").trigger();
    EXPECT_FALSE(world.privacy.isActive());
    EXPECT_EQ(itemsOf(controller->menu())[7], "Privacy Mode (screen is mirrored)");
    EXPECT_EQ(controller->trayIcon().icon().cacheKey(), normalIcon);
    EXPECT_EQ(world.sound.played(), std::vector<std::string>{"permission"}) << "the waiting request again";

    item(*controller, "Privacy Mode (screen is mirrored)").trigger();
    EXPECT_TRUE(world.privacy.isActive());
    EXPECT_EQ(itemsOf(controller->menu())[7], "Privacy Mode [x]");
}

} // namespace
