#include "Windows/NotchWindowManager.h"

#include "Core/NotchViewModel.h"
#include "UI/NotchContainerView.h"
#include "Windows/ClickedScreenTracker.h"
#include "Windows/FullScreenWatcher.h"
#include "Windows/NotchPanel.h"
#include "Windows/NotchScreenController.h"
#include "Windows/PanelWorld.h"
#include "support/WaitUntil.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <gtest/gtest.h>

using namespace velquist;
using namespace std::chrono_literals;

namespace {

class NotchWindowManagerTest : public ::testing::Test, public test::PanelWorld
{
  protected:
    NotchWindowManagerTest() { screens.attached = {laptop, monitor}; }

    std::unique_ptr<NotchWindowManager> make()
    {
        auto manager = std::make_unique<NotchWindowManager>(NotchWindowManager::Services{
            services, screens, windows, [this](const std::vector<ScreenDescription>& described) {
                migrations.push_back(described.size());
            }});
        manager->start();
        return manager;
    }

    // Which screens show their panel, by connector, in controller order.
    static std::vector<std::string> shown(const NotchWindowManager& manager)
    {
        std::vector<std::string> result;
        for (const auto& controller : manager.controllers()) {
            if (controller->panel().isVisible())
                result.push_back(controller->screenID());
        }
        return result;
    }

    const ScreenInfo laptop = screen("eDP-1", {0, 0, 1440, 900});
    const ScreenInfo monitor = screen("HDMI-1", {1440, 0, 1920, 1080});
    const std::string laptopID = idOf(laptop);
    const std::string monitorID = idOf(monitor);
    std::vector<std::size_t> migrations;
};

} // namespace

TEST_F(NotchWindowManagerTest, OnePanelPerScreenShownAsThePlacementSays)
{
    auto manager = make();
    ASSERT_EQ(manager->controllers().size(), 2u);
    EXPECT_EQ(migrations, std::vector<std::size_t>{2}) << "a rebuild offers the legacy placement its screens";
    EXPECT_TRUE(manager->controllers()[0]->isBuiltIn());

    struct Case
    {
        std::optional<std::string> displayMode;
        std::vector<std::string> shown;
    };
    const Case cases[] = {
        {std::nullopt, {laptopID, monitorID}}, {"allDisplays", {laptopID, monitorID}},
        {"builtInOnly", {laptopID}},           {"display:" + monitorID, {monitorID}},
        {"display:NOT-ATTACHED", {}},          {"LastClicked", {laptopID, monitorID}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.displayMode.value_or("absent"));
        if (c.displayMode)
            defaults.setValue("displayMode", *c.displayMode);
        else
            defaults.remove("displayMode");
        QCoreApplication::processEvents();
        EXPECT_EQ(shown(*manager), c.shown);
    }
}

TEST_F(NotchWindowManagerTest, EachPanelIsMadeOnTheScreenItDescribes)
{
    // The desktop's one screen here, and one it does not have at the same place (a second X
    // screen also starts at 0,0): a position alone cannot tell them apart.
    QScreen* real = QGuiApplication::primaryScreen();
    ASSERT_TRUE(real);
    ScreenInfo own = screen("", real->geometry());
    own.connector = real->name();
    const ScreenInfo other = screen("HDMI-9", real->geometry());
    EXPECT_EQ(NotchScreenController::qtScreenFor(own, {real}), real);
    EXPECT_EQ(NotchScreenController::qtScreenFor(other, {real}), nullptr);
    ScreenInfo moved = own;
    moved.geometry.translate(real->geometry().width(), 0);
    EXPECT_EQ(NotchScreenController::qtScreenFor(moved, {real}), nullptr) << "the same name elsewhere";
    ScreenInfo secondX = own;
    secondX.connector = real->name() + " (X screen 1)"; // as the provider names a second X screen's
    EXPECT_EQ(NotchScreenController::qtScreenFor(secondX, {real}), real);

    screens.attached = {own, other};
    auto manager = make();
    ASSERT_EQ(manager->controllers().size(), 2u);
    NotchPanel& first = manager->controllers()[0]->panel();
    ASSERT_TRUE(first.windowHandle());
    EXPECT_EQ(first.windowHandle()->screen(), real);
}

TEST_F(NotchWindowManagerTest, LastClickedFollowsTheClicksAndForgetsThemWhenSwitchedAway)
{
    pointer.moveTo({2000, 500});
    defaults.setValue("displayMode", "lastClicked");
    auto manager = make();
    EXPECT_EQ(shown(*manager), std::vector<std::string>{monitorID}) << "the screen under the pointer counts";

    pointer.moveTo({100, 500});
    pointer.press(Qt::LeftButton);
    EXPECT_EQ(shown(*manager), std::vector<std::string>{laptopID});

    // A click on our own notch is not a click on another screen.
    defaults.setValue("displayMode", "allDisplays");
    QCoreApplication::processEvents();
    EXPECT_FALSE(manager->clicks().isTracking());
    EXPECT_EQ(manager->clicks().screenID(), std::nullopt);
    const QRect notch = manager->controllers()[1]->visibleRect();
    pointer.moveTo(notch.center());
    defaults.setValue("displayMode", "lastClicked");
    QCoreApplication::processEvents();
    EXPECT_EQ(shown(*manager), std::vector<std::string>{monitorID});
    pointer.press(Qt::LeftButton);
    EXPECT_EQ(shown(*manager), std::vector<std::string>{monitorID});
}

TEST_F(NotchWindowManagerTest, AFullScreenWindowHidesItsScreensPanelUntilSomeoneWaits)
{
    WindowInfo video = test::RecordingWindowSystem::makeWindow(9, 99, "video");
    video.frame = monitor.geometry;
    video.isFullScreen = true;
    windows.setWindows({video});
    auto manager = make();
    EXPECT_EQ(shown(*manager), (std::vector<std::string>{laptopID, monitorID})) << "the setting is off";

    defaults.setValue("hidesOverFullScreen", true);
    ASSERT_TRUE(test::waitUntil([&] { return shown(*manager) == std::vector<std::string>{laptopID}; }))
        << "once the windows are read";

    ask("claude:a");
    EXPECT_EQ(shown(*manager), (std::vector<std::string>{laptopID, monitorID}))
        << "a waiting session shows every panel";
    store.remove("claude:a");
    EXPECT_EQ(shown(*manager), std::vector<std::string>{laptopID});

    windows.restack({});
    ASSERT_TRUE(test::waitUntil([&] { return shown(*manager).size() == 2; }));
    EXPECT_TRUE(manager->fullScreen().isWatching());
    defaults.setValue("hidesOverFullScreen", false);
    QCoreApplication::processEvents();
    EXPECT_FALSE(manager->fullScreen().isWatching());
}

TEST_F(NotchWindowManagerTest, ScreenChangesRebuildOnceAndOnlyWhenTheLayoutChanged)
{
    const int before = livePanels();
    auto manager = make();
    NotchScreenController* first = manager->controllers()[0].get();
    manager->setHoldOpen(true);
    ASSERT_TRUE(first->model().holdOpen());

    screens.change({laptop, monitor});
    clock.advance(0ms);
    EXPECT_EQ(manager->controllers()[0].get(), first) << "the same layout keeps its panels and their state";
    EXPECT_TRUE(first->model().holdOpen());

    ScreenInfo moved = monitor;
    moved.geometry.moveLeft(1500);
    screens.change({laptop});
    screens.change({laptop, moved});
    EXPECT_EQ(manager->controllers()[0].get(), first) << "the rebuild is queued";
    clock.advance(0ms);
    ASSERT_EQ(manager->controllers().size(), 2u);
    EXPECT_EQ(migrations.size(), 3u) << "a burst of changes makes one rebuild";
    EXPECT_FALSE(manager->controllers()[0]->model().holdOpen()) << "new panels are not held";
    EXPECT_EQ(manager->controllers()[1]->panel().geometry().left(), 1500 + (1920 - 840) / 2);
    EXPECT_EQ(livePanels(), before + 2);

    screens.change({});
    clock.advance(0ms);
    EXPECT_TRUE(manager->controllers().empty());
    EXPECT_EQ(livePanels(), before);
    EXPECT_EQ(pointer.interest(), 0);

    screens.change({monitor});
    clock.advance(0ms);
    EXPECT_EQ(shown(*manager), std::vector<std::string>{monitorID});
    manager.reset();
    EXPECT_EQ(livePanels(), before);
}

TEST_F(NotchWindowManagerTest, HoldOpenTakesThePanelUnderThePointerAndReleaseTakesAll)
{
    auto manager = make();
    pointer.moveTo({2000, 700});
    manager->setHoldOpen(true);
    EXPECT_FALSE(manager->controllers()[0]->model().holdOpen());
    EXPECT_TRUE(manager->controllers()[1]->model().holdOpen());

    pointer.moveTo({9000, 700});
    manager->setHoldOpen(true);
    EXPECT_TRUE(manager->controllers()[0]->model().holdOpen()) << "off every screen: the first visible";

    manager->setHoldOpen(false);
    for (const auto& controller : manager->controllers())
        EXPECT_FALSE(controller->model().holdOpen());

    defaults.setValue("displayMode", "display:NOT-ATTACHED");
    QCoreApplication::processEvents();
    manager->setHoldOpen(true);
    for (const auto& controller : manager->controllers())
        EXPECT_FALSE(controller->model().holdOpen()) << "no visible panel: nothing is held";
}

TEST_F(NotchWindowManagerTest, HidingAPanelUnderThePointerEndsItsHover)
{
    auto manager = make();
    NotchScreenController& controller = *manager->controllers()[1];
    pointer.moveTo(controller.visibleRect().center());
    ASSERT_TRUE(controller.pointerInside());
    defaults.setValue("displayMode", "display:" + laptopID);
    QCoreApplication::processEvents();
    EXPECT_FALSE(controller.panel().isVisible());
    EXPECT_FALSE(controller.pointerInside());
}

TEST_F(NotchWindowManagerTest, OnlyPlacementFactsRunAPlacementPass)
{
    defaults.setValue("displayMode", "allDisplays");
    auto manager = make();
    ASSERT_EQ(shown(*manager), (std::vector<std::string>{laptopID, monitorID}));
    // A pass puts back a panel hidden behind the manager's back, so whether the panels come back
    // tells whether a pass ran.
    const auto hideAll = [&] {
        for (const auto& controller : manager->controllers())
            controller->panel().hide();
    };
    const auto working = [](const char* id) {
        Session session;
        session.id = id;
        session.cwd = "/home/u/project";
        session.status = SessionStatus::Working{};
        return session;
    };

    struct Case
    {
        const char* name;
        std::function<void()> act;
        bool placesPanels;
    };
    const Case cases[] = {
        {"a session starts", [&] { startQuietly(working("claude:w")); }, false},
        {"its activity changes", [&] { setStatus("claude:w", SessionStatus::Working{"Reading"}); }, false},
        {"it finishes", [&] { setStatus("claude:w", SessionStatus::Done{"Built"}); }, false},
        {"it is read", [&] { store.update("claude:w", [&](Session& s) { s.doneSeenAt = clock.now(); }); },
         false},
        {"it goes away", [&] { store.remove("claude:w"); }, false},
        {"a session starts waiting", [&] { ask("claude:a"); }, true},
        {"the waiting session's request changes",
         [&] {
             store.update("claude:a", [](Session& s) {
                 s.status =
                     SessionStatus::NeedsPermission{PermissionRequest{"Edit", "Edit a.txt", {}, false}};
             });
         },
         false},
        {"a second session waits", [&] { ask("claude:b", true); }, false},
        {"nobody waits any more",
         [&] {
             store.remove("claude:a");
             store.remove("claude:b");
         },
         true},
        {"the display mode", [&] { defaults.setValue("displayMode", "lastClicked"); }, true},
        {"a click on another screen",
         [&] {
             pointer.moveTo({100, 500});
             pointer.press(Qt::LeftButton);
         },
         true},
        {"a click on the same screen", [&] { pointer.press(Qt::LeftButton); }, false},
        {"the full-screen setting", [&] { defaults.setValue("hidesOverFullScreen", true); }, true},
        {"the same screens announced again",
         [&] {
             screens.change({laptop, monitor});
             clock.advance(0ms);
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        hideAll();
        c.act();
        QCoreApplication::processEvents();
        EXPECT_EQ(!shown(*manager).empty(), c.placesPanels);
    }

    // A window covering a screen, and then uncovering it.
    WindowInfo video = test::RecordingWindowSystem::makeWindow(9, 99, "video");
    video.frame = monitor.geometry;
    video.isFullScreen = true;
    defaults.setValue("displayMode", "allDisplays");
    QCoreApplication::processEvents();
    hideAll();
    windows.restack({video});
    ASSERT_TRUE(test::waitUntil([&] { return shown(*manager) == std::vector<std::string>{laptopID}; }));
    hideAll();
    windows.restack({});
    ASSERT_TRUE(test::waitUntil([&] { return shown(*manager).size() == 2; }));
}
