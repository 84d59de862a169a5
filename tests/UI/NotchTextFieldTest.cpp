#include "UI/NotchTextField.h"
#include "UI/NotchPanelMark.h"
#include "UI/PanelVisibility.h"
#include "support/AttentionWorld.h"
#include "support/WaitUntil.h"

#include <QSignalSpy>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

using namespace velquist;

namespace {

class NotchTextFieldTest : public ::testing::Test, public test::AttentionWorld
{
  public:
    NotchTextFieldTest() { focus.setActiveWindow(0x2a00007); }

    // A shown top-level window, marked as a notch panel unless `panel` is false.
    std::unique_ptr<QWidget> makeWindow(bool panel = true)
    {
        auto window = std::make_unique<QWidget>();
        window->resize(300, 60);
        if (panel)
            markAsNotchPanel(window.get());
        window->setAttribute(Qt::WA_ShowWithoutActivating);
        window->show();
        window->windowHandle()->setFlag(Qt::WindowDoesNotAcceptFocus, true);
        return window;
    }
    bool acceptsFocus(QWidget& window) const
    {
        return !window.windowHandle()->flags().testFlag(Qt::WindowDoesNotAcceptFocus);
    }

    test::RecordingFocusReturn focus;
};

TEST_F(NotchTextFieldTest, InAPanelItTakesTheKeyboardAndGivesItBackWhenItGoes)
{
    const auto panel = makeWindow();
    auto* field = new NotchTextField(&coordinator, &focus, panel.get());
    field->show();
    ASSERT_TRUE(test::waitUntil([&] { return field->holdsFocus(); }));
    EXPECT_TRUE(coordinator.isTextEntryActive());
    EXPECT_TRUE(acceptsFocus(*panel));
    EXPECT_EQ(coordinator.desiredPresentation(), PanelPresentation::expanded);

    EXPECT_TRUE(panel->windowHandle()->isActive());
    delete field;
    EXPECT_FALSE(coordinator.isTextEntryActive());
    EXPECT_FALSE(acceptsFocus(*panel));
    EXPECT_EQ(focus.activated(), std::vector<std::uint32_t>{0x2a00007});
}

TEST_F(NotchTextFieldTest, OutsideAPanelNothingChanges)
{
    const auto preview = makeWindow(false);
    auto* field = new NotchTextField(&coordinator, &focus, preview.get());
    field->show();
    test::settle();
    EXPECT_FALSE(field->holdsFocus());
    EXPECT_FALSE(coordinator.isTextEntryActive());
    EXPECT_FALSE(acceptsFocus(*preview));
    delete field;
    EXPECT_TRUE(focus.activated().empty());
}

TEST_F(NotchTextFieldTest, APanelDestroyedWithItsFieldOpenEndsTextEntry)
{
    auto panel = makeWindow();
    auto* field = new NotchTextField(&coordinator, &focus, panel.get());
    field->show();
    ASSERT_TRUE(test::waitUntil([&] { return field->holdsFocus(); }));
    panel.reset(); // a change of screens takes the panel and its field
    EXPECT_FALSE(coordinator.isTextEntryActive());
}

TEST_F(NotchTextFieldTest, ClosingOneOfTwoFieldsKeepsThePanelOpen)
{
    const auto first = makeWindow();
    const auto second = makeWindow();
    auto* a = new NotchTextField(&coordinator, &focus, first.get());
    auto* b = new NotchTextField(&coordinator, &focus, second.get());
    a->show();
    b->show();
    ASSERT_TRUE(test::waitUntil([&] { return a->holdsFocus() && b->holdsFocus(); }));
    delete a;
    EXPECT_TRUE(coordinator.isTextEntryActive());
    clock.advance(std::chrono::seconds(10));
    EXPECT_EQ(coordinator.desiredPresentation(), PanelPresentation::expanded);
    delete b;
    EXPECT_FALSE(coordinator.isTextEntryActive());
}

TEST_F(NotchTextFieldTest, ReturnSubmitsTheTypedTextOnce)
{
    const auto panel = makeWindow();
    auto* field = new NotchTextField(nullptr, nullptr, panel.get());
    field->show();
    ASSERT_TRUE(test::waitUntil([&] { return field->holdsFocus(); }));
    QSignalSpy submitted(field, &NotchTextField::submitted);
    QTest::keyClicks(field, "use <b>tabs</b>");
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(submitted.count(), 1);
    EXPECT_EQ(field->text(), QStringLiteral("use <b>tabs</b>"));
    field->setText({}); // cleared from outside after a submit
    EXPECT_TRUE(field->text().isEmpty());
}

TEST_F(NotchTextFieldTest, VisibilityFollowsThePanelAndIsAlwaysTrueOutsideOne)
{
    const auto panel = makeWindow();
    auto* inside = new QWidget(panel.get());
    inside->show();
    PanelVisibility visibility(inside);
    ASSERT_TRUE(test::waitUntil([&] { return panel->windowHandle()->isExposed(); }));
    EXPECT_TRUE(visibility.isVisible());
    QSignalSpy changes(&visibility, &PanelVisibility::visibleChanged);
    panel->hide();
    EXPECT_TRUE(test::waitUntil([&] { return !visibility.isVisible(); }));
    panel->show();
    EXPECT_TRUE(test::waitUntil([&] { return visibility.isVisible(); }));
    EXPECT_EQ(changes.count(), 2);

    const auto preview = makeWindow(false);
    auto* outside = new QWidget(preview.get());
    outside->show();
    PanelVisibility always(outside);
    preview->hide();
    test::settle();
    EXPECT_TRUE(always.isVisible());
}

} // namespace
