#include "Core/NotchViewModel.h"
#include "support/AttentionWorld.h"

#include <gtest/gtest.h>

using namespace velquist;
using namespace std::chrono_literals;
using P = PanelPresentation;

namespace {

class NotchViewModelTest : public ::testing::Test, public test::AttentionWorld
{
  public:
    std::unique_ptr<NotchViewModel> makeModel(NotchViewModel::BarMetrics metrics = {32, 185, 128},
                                              std::function<bool()> hasUsageWindow = {})
    {
        return std::make_unique<NotchViewModel>(metrics, store, coordinator, &privacy, defaults, clock,
                                                std::move(hasUsageWindow));
    }
    void hover(NotchViewModel& model, bool inside)
    {
        model.setHovering(inside);
        clock.advance(inside ? 180ms : 250ms);
    }
    void addAgents(std::initializer_list<AgentKind> kinds)
    {
        int n = 0;
        for (const AgentKind kind : kinds) {
            Session session;
            session.id = "s" + std::to_string(n++);
            session.agent = kind;
            session.status = SessionStatus::Working{};
            startQuietly(session);
        }
    }
};

TEST_F(NotchViewModelTest, PresentationRules)
{
    struct Case
    {
        const char* name;
        bool privacy;
        bool hold;
        bool typing;
        const char* trigger;
        bool hovering;
        P expected;
    };
    const Case cases[] = {
        {"privacy beats hold-open", true, true, false, "hover", false, P::collapsed},
        {"privacy beats typing", true, false, true, "hover", false, P::collapsed},
        {"privacy beats hovering", true, false, false, "hover", true, P::collapsed},
        {"hold-open", false, true, false, "click", false, P::expanded},
        {"typing", false, false, true, "click", false, P::expanded},
        {"hovering, hover trigger", false, false, false, "hover", true, P::expanded},
        {"hovering, unknown trigger", false, false, false, "wiggle", true, P::expanded},
        {"hovering, click trigger", false, false, false, "click", true, P::collapsed},
        {"nothing: the coordinator's wish", false, false, false, "hover", false, P::collapsed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        defaults.setValue("expandTrigger", c.trigger);
        const auto model = makeModel();
        privacy.setActive(c.privacy);
        model->setHoldOpen(c.hold);
        if (c.typing)
            coordinator.setTextEntryActive(true);
        if (c.hovering)
            hover(*model, true);
        EXPECT_EQ(model->presentation(), c.expected);
        if (c.typing)
            coordinator.setTextEntryActive(false);
        clock.advance(1h);
    }
}

TEST_F(NotchViewModelTest, CollapsedWidth)
{
    using K = AgentKind;
    const auto model = makeModel();
    EXPECT_EQ(model->collapsedWidth(), 185);
    coordinator.snooze();
    EXPECT_EQ(model->collapsedWidth(), 185 + 2 * 24);
    coordinator.cancelSnooze();
    addAgents({K::claudeCode, K::codex, K::claudeCode});
    clock.advance(NotchViewModel::kFrame);
    EXPECT_EQ(model->collapsedWidth(), 321); // icons 20, left 68, right 46
    coordinator.snooze();
    EXPECT_EQ(model->collapsedWidth(), 321); // right 10 + 32 + 5 + 14 = 61 stays under the left
    coordinator.cancelSnooze();
    addAgents({K::claudeCode, K::codex, K::cursor, K::gemini, K::qwen, K::opencode});
    clock.advance(NotchViewModel::kFrame);
    EXPECT_EQ(model->collapsedWidth(), 185 + 256); // the left wing's 184 is held to 128
}

TEST_F(NotchViewModelTest, IconsFollowTheBarHeightWithinTheirBounds)
{
    defaults.setValue("selectedCharacterId", "usage"); // no usage store: no right-wing item
    addAgents({AgentKind::claudeCode});
    struct Case
    {
        double barHeight;
        double width;
    };
    for (const Case c :
         {Case{18, 100 + 2 * (13 + 19)}, Case{24, 100 + 2 * (18 + 19)}, Case{40, 100 + 2 * (20 + 19)}})
        EXPECT_EQ(makeModel({c.barHeight, 100, 200})->collapsedWidth(), c.width) << c.barHeight;
}

TEST_F(NotchViewModelTest, TheUsageRingTakesRoomOnlyWhenItHasAWindow)
{
    defaults.setValue("selectedCharacterId", "usage");
    bool window = false;
    const auto model = makeModel({32, 185, 128}, [&] { return window; });
    EXPECT_EQ(model->collapsedWidth(), 185);
    window = true;
    EXPECT_EQ(model->collapsedWidth(), 185 + 2 * 46);
    defaults.setValue("selectedCharacterId", "none"); // a character, even none, needs sessions
    EXPECT_EQ(model->collapsedWidth(), 185);
}

TEST_F(NotchViewModelTest, TheEndOfASnoozeRedrawsTheBarAtThatMoment)
{
    const auto model = makeModel();
    int widths = 0;
    QObject::connect(model.get(), &NotchViewModel::collapsedWidthChanged, [&] { ++widths; });
    coordinator.snooze();
    EXPECT_EQ(widths, 1);
    clock.advance(900s);
    EXPECT_EQ(widths, 2);
    EXPECT_EQ(model->collapsedWidth(), 185);
}

TEST_F(NotchViewModelTest, HoverTriggerOpensOnARestAndStopsTheLadder)
{
    const auto model = makeModel();
    ask("claude:a");
    clock.advance(1s);
    hover(*model, true);
    EXPECT_EQ(model->presentation(), P::expanded);
    EXPECT_EQ(coordinator.desiredPresentation(), P::collapsed); // the user looked
    hover(*model, false);
    EXPECT_EQ(model->presentation(), P::collapsed);
    clock.advance(1h);
    EXPECT_EQ(model->presentation(), P::collapsed); // no peeks after the user looked
}

TEST_F(NotchViewModelTest, OnlyTheLastPointerMoveWithinTheDelayCounts)
{
    const auto model = makeModel();
    int hovers = 0;
    QObject::connect(model.get(), &NotchViewModel::hoveringChanged, [&] { ++hovers; });
    model->setHovering(true);
    clock.advance(100ms);
    model->setHovering(false);
    clock.advance(1s);
    EXPECT_EQ(hovers, 0);

    hover(*model, true);
    model->setHovering(false);
    clock.advance(200ms);
    model->setHovering(true); // back within the leave delay: stays open
    clock.advance(1s);
    EXPECT_EQ(hovers, 1);
    EXPECT_TRUE(model->isHovering());
}

TEST_F(NotchViewModelTest, ClickTriggerOpensOnClickAndKeepsAnAlertOpenUnderThePointer)
{
    defaults.setValue("expandTrigger", "click");
    const auto model = makeModel();
    hover(*model, true);
    EXPECT_EQ(model->presentation(), P::collapsed);
    model->handleCollapsedClick();
    EXPECT_EQ(model->presentation(), P::expanded);
    hover(*model, false);
    EXPECT_FALSE(model->isClickOpen());

    ask("claude:a"); // the coordinator opens the panel for the alert
    hover(*model, true);
    EXPECT_TRUE(model->isClickOpen());
    clock.advance(30s);
    EXPECT_EQ(coordinator.desiredPresentation(), P::collapsed);
    EXPECT_EQ(model->presentation(), P::expanded);
    hover(*model, false);
    EXPECT_EQ(model->presentation(), P::collapsed);
}

TEST_F(NotchViewModelTest, HoverTriggerClicksSnoozeAndResume)
{
    const auto model = makeModel();
    model->handleCollapsedClick(); // nothing waits, no snooze
    EXPECT_FALSE(coordinator.isSnoozed());
    ask("claude:a");
    model->handleCollapsedClick(); // the alert has the panel open: a click does nothing
    EXPECT_FALSE(coordinator.isSnoozed());
    clock.advance(8s);
    model->handleCollapsedClick();
    EXPECT_TRUE(coordinator.isSnoozed());
    model->handleCollapsedClick();
    EXPECT_FALSE(coordinator.isSnoozed());
}

TEST_F(NotchViewModelTest, ConcealedOnlyWhenAskedWhileIdleAndNothingWaits)
{
    const auto model = makeModel();
    EXPECT_FALSE(model->isBarConcealed(false));
    EXPECT_TRUE(model->isBarConcealed(true));
    ask("claude:a");
    clock.advance(10s);
    EXPECT_FALSE(model->isBarConcealed(true));
    setStatus("claude:a", SessionStatus::Working{});
    hover(*model, true);
    EXPECT_FALSE(model->isBarConcealed(true));
}

TEST_F(NotchViewModelTest, SheetHeightIgnoresNonsenseAndRounding)
{
    const auto model = makeModel();
    int changes = 0;
    QObject::connect(model.get(), &NotchViewModel::sheetHeightChanged, [&] { ++changes; });
    for (const double height : {0.0, -3.0, 120.0, 120.4, 119.6, 121.0})
        model->reportSheetHeight(height);
    EXPECT_EQ(model->sheetHeight(), 121.0);
    EXPECT_EQ(changes, 2);
}

TEST_F(NotchViewModelTest, TheStoreChangesOfOneFrameAreTakenInOnce)
{
    const auto model = makeModel();
    int refreshed = 0;
    int widths = 0;
    QObject::connect(model.get(), &NotchViewModel::sessionsRefreshed, [&] { ++refreshed; });
    QObject::connect(model.get(), &NotchViewModel::collapsedWidthChanged, [&] { ++widths; });
    addAgents({AgentKind::claudeCode, AgentKind::codex, AgentKind::gemini});
    for (int round = 0; round < 20; ++round)
        store.update("s1", [](Session& session) { session.lastActivity = "Editing"; });
    EXPECT_EQ(refreshed, 0);
    clock.advance(NotchViewModel::kFrame);
    EXPECT_EQ(refreshed, 1);
    EXPECT_EQ(widths, 1);
    EXPECT_EQ(model->barSummary().groups.size(), 3u);
    clock.advance(NotchViewModel::kFrame * 5);
    EXPECT_EQ(refreshed, 1);
}

TEST_F(NotchViewModelTest, AFilterOrTheRevealSwitchChangesTheBarWithoutAnyOtherChange)
{
    Session quiet;
    quiet.id = "codex:quiet";
    quiet.agent = AgentKind::codex;
    quiet.cwd = "/tmp/scratch";
    quiet.status = SessionStatus::Working{};
    startQuietly(quiet);
    addAgents({AgentKind::claudeCode});
    const auto model = makeModel();
    ASSERT_EQ(model->barSummary().groups.size(), 2u);

    SilenceRule rule;
    rule.id = QUuid::createUuid();
    rule.field = SilenceRule::Field::directory;
    rule.match = SilenceRule::Match::prefix;
    rule.pattern = "/tmp";
    silence.add(rule);
    clock.advance(NotchViewModel::kFrame);
    EXPECT_EQ(model->barSummary().groups, (std::vector<AgentGroup>{{AgentKind::claudeCode, 0}}));

    silence.setRevealsHidden(true);
    clock.advance(NotchViewModel::kFrame);
    EXPECT_EQ(model->barSummary().groups.size(), 2u);
    silence.setRevealsHidden(false);
    silence.setEnabled(false, rule.id);
    clock.advance(NotchViewModel::kFrame);
    EXPECT_EQ(model->barSummary().groups.size(), 2u) << "switching the rule off shows it again";
}

TEST_F(NotchViewModelTest, ObserversHearOfPresentationChangesFromEverySource)
{
    const auto model = makeModel();
    std::vector<P> seen;
    QObject::connect(model.get(), &NotchViewModel::presentationChanged,
                     [&] { seen.push_back(model->presentation()); });
    ask("claude:a");          // the coordinator opens
    privacy.setActive(true);  // privacy closes
    privacy.setActive(false); // and gives it back
    model->setHoldOpen(true); // no change: already open
    EXPECT_EQ(seen, (std::vector<P>{P::expanded, P::collapsed, P::expanded}));
}

} // namespace
