#include "Windows/NotchScreenController.h"

#include "Core/NotchViewModel.h"
#include "UI/NotchBody.h"
#include "UI/NotchContainerView.h"
#include "Windows/NotchPanel.h"
#include "Windows/PanelWorld.h"

#include <QApplication>
#include <gtest/gtest.h>

using namespace velquist;
using namespace std::chrono_literals;

namespace {

class NotchScreenControllerTest : public ::testing::Test, public test::PanelWorld
{
  protected:
    std::unique_ptr<NotchScreenController> make(const ScreenInfo& info)
    {
        auto controller =
            std::make_unique<NotchScreenController>(info, std::vector<ScreenInfo>{info}, services);
        controller->content().setAnimated(false);
        return controller;
    }

    const ScreenInfo right = screen("HDMI-1", {1440, 0, 1920, 1080});
};

} // namespace

TEST_F(NotchScreenControllerTest, ThePanelHangsFromTheTopCentreOfItsScreenWithoutTakingTheKeyboard)
{
    auto controller = make(right);
    NotchPanel& panel = controller->panel();
    EXPECT_TRUE(panel.isVisible()) << "a new panel starts on screen";
    EXPECT_TRUE(isNotchPanel(&panel));
    EXPECT_EQ(panel.geometry(), QRect(1440 + (1920 - 840) / 2, 0, 840, 600));
    EXPECT_EQ(controller->screenID(), idOf(right));
    EXPECT_FALSE(controller->isBuiltIn());
    EXPECT_FALSE(panel.allowsKeyForTextEntry());
    EXPECT_TRUE(panel.testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_TRUE(panel.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(QApplication::activeWindow(), nullptr);

    panel.setAllowsKeyForTextEntry(true);
    EXPECT_TRUE(panel.allowsKeyForTextEntry());
    panel.setAllowsKeyForTextEntry(false);
    EXPECT_FALSE(panel.allowsKeyForTextEntry());

    EXPECT_TRUE(isNotchPanel(make(screen("eDP-1", {0, 0, 1440, 900}))->panel().window()));
}

TEST_F(NotchScreenControllerTest, OnlyAPanelCutToItsOutlineIsReadiedAndOnlyOnce)
{
    auto cut = make(right);
    cut->panel().hide();
    cut->panel().show();
    EXPECT_EQ(shaper.prepared, (std::vector<const QWindow*>{cut->panel().windowHandle()}));

    shaper.translucent = true;
    auto seeThrough = make(screen("eDP-1", {0, 0, 1440, 900}));
    EXPECT_TRUE(seeThrough->panel().isVisible());
    EXPECT_EQ(shaper.prepared.size(), 1u);
}

TEST_F(NotchScreenControllerTest, TheVisibleNotchFollowsThePresentationAndOnlyItTakesClicks)
{
    auto controller = make(right);
    const int centre = 1440 + 960;
    const int collapsedWidth = int(controller->model().collapsedWidth());
    EXPECT_EQ(controller->visibleRect(), QRect(centre - collapsedWidth / 2, 0, collapsedWidth, 32));
    // The outline's rounded corners stand in a little from the rectangle.
    const auto fitsTheNotch = [&](const QRegion& region) {
        const QRect inPanel = controller->visibleRect().translated(-controller->panel().pos());
        const QRect bounds = region.boundingRect();
        return inPanel.contains(bounds) && bounds.height() == inPanel.height() &&
               bounds.width() >= inPanel.width() - 8;
    };
    ASSERT_TRUE(shaper.regionOf(controller->panel().windowHandle()).has_value());
    EXPECT_TRUE(fitsTheNotch(*shaper.regionOf(controller->panel().windowHandle())));

    rows.height = 900; // taller than the panel allows
    ask("claude:a");
    QCoreApplication::processEvents();
    ASSERT_EQ(controller->model().presentation(), PanelPresentation::expanded);
    EXPECT_EQ(controller->visibleRect(), QRect(centre - 380, 0, 760, 560))
        << "open: 760 wide, at most 560 tall";
    EXPECT_TRUE(fitsTheNotch(controller->panel().inputRegion()));
    EXPECT_EQ(shaper.regionOf(controller->panel().windowHandle()), controller->panel().inputRegion());
}

TEST_F(NotchScreenControllerTest, HoverIsReportedOnlyOnChangesAndEndsWhenThePanelGoes)
{
    auto controller = make(right);
    NotchViewModel& model = controller->model();
    pointer.moveTo({1440 + 960, 10});
    EXPECT_TRUE(controller->pointerInside());
    clock.advance(200ms);
    EXPECT_TRUE(model.isHovering());

    // Hovering opens the notch, which grows around the pointer: still inside, and inside further out.
    ASSERT_EQ(model.presentation(), PanelPresentation::expanded);
    pointer.moveTo({1440 + 960 + 300, 20});
    EXPECT_TRUE(controller->pointerInside());

    pointer.moveTo({1440 + 960, 10});
    controller->panel().hide();
    pointer.moveTo({1440 + 960, 11});
    EXPECT_FALSE(controller->pointerInside()) << "a hidden panel reports the pointer gone";
    clock.advance(300ms);
    EXPECT_FALSE(model.isHovering());

    controller->panel().show();
    controller->syncPointer();
    EXPECT_TRUE(controller->pointerInside());
}

TEST_F(NotchScreenControllerTest, ABarHiddenWhileIdleLetsEveryClickThrough)
{
    defaults.setValue("hidesWhenIdle", true);
    auto controller = make(right);
    QCoreApplication::processEvents();
    EXPECT_TRUE(controller->panel().inputRegion().isEmpty());
    // Turned off and on while it runs, as from the settings window.
    defaults.setValue("hidesWhenIdle", false);
    QCoreApplication::processEvents();
    EXPECT_FALSE(controller->panel().inputRegion().isEmpty());
    defaults.setValue("hidesWhenIdle", true);
    QCoreApplication::processEvents();
    EXPECT_TRUE(controller->panel().inputRegion().isEmpty());

    ask("claude:a");
    QCoreApplication::processEvents();
    EXPECT_FALSE(controller->panel().inputRegion().isEmpty());
}

TEST_F(NotchScreenControllerTest, DestroyingTheControllerClosesThePanelAndDropsThePointer)
{
    const int before = livePanels();
    auto controller = make(right);
    EXPECT_EQ(pointer.interest(), 1);
    EXPECT_EQ(livePanels(), before + 1);
    controller.reset();
    EXPECT_EQ(pointer.interest(), 0);
    EXPECT_EQ(livePanels(), before);
}

TEST_F(NotchScreenControllerTest, WithoutACompositorTheBodyTakesEachOutlineAtOnce)
{
    // A panel cut to its outline would show the body growing inside a cut already final.
    for (const bool translucent : {false, true}) {
        SCOPED_TRACE(translucent ? "with a compositor" : "without a compositor");
        shaper.translucent = translucent;
        NotchScreenController controller(right, {right}, services);
        NotchBody& body = *controller.content().body();
        ask(translucent ? "claude:seen" : "claude:cut");
        QCoreApplication::processEvents();
        ASSERT_EQ(controller.model().presentation(), PanelPresentation::expanded);
        if (translucent)
            EXPECT_LT(body.bodyRect().width(), body.openWidth()) << "the body widens along its curve";
        else
            EXPECT_EQ(body.bodyRect().width(), body.openWidth());
    }
}
