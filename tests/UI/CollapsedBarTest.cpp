#include "Core/Session.h"
#include "UI/CollapsedBarLayout.h"
#include "UI/CollapsedBarView.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace velquist;

namespace {

NotchGeometry geometry(qreal gap, qreal barHeight)
{
    NotchGeometry g;
    g.centerGapWidth = gap;
    g.barHeight = barHeight;
    return g;
}

Session session(AgentKind kind, std::string id, SessionStatus status = SessionStatus::Working{})
{
    Session s;
    s.id = std::move(id);
    s.agent = kind;
    s.cwd = "/tmp/project";
    s.status = std::move(status);
    return s;
}

std::vector<Session> kinds(int count)
{
    std::vector<Session> sessions;
    for (int index = 0; index < count; ++index)
        sessions.push_back(session(kAllAgentKinds[std::size_t(index)], "s" + std::to_string(index)));
    return sessions;
}

UsageReading usage(bool withWindow)
{
    UsageReading reading{true, QuotaData{}, UsageProvider::claude};
    if (withWindow)
        reading.quota->windows.push_back({"session", "Session", 40, std::nullopt});
    return reading;
}

} // namespace

TEST(CollapsedBarLayoutTest, IconSizeFollowsBarHeight)
{
    for (const auto& [barHeight, icon] :
         std::vector<std::pair<qreal, qreal>>{{37, 20}, {40, 20}, {24, 18}, {16, 13}, {18, 13}, {0, 13}})
        EXPECT_EQ(CollapsedBarLayout::iconSize(barHeight), icon) << barHeight;
}

TEST(CollapsedBarLayoutTest, CollapsedWidth)
{
    struct Case
    {
        const char* name;
        int groups;
        bool snoozed;
        bool rightItem;
        qreal width;
    };
    const Case cases[] = {
        {"nothing to show", 0, false, false, 185},
        {"snoozed only", 0, true, false, 185 + 2 * 24},
        {"two groups and an item", 2, false, true, 321},
        {"two groups, item and moon", 2, true, true, 185 + 2 * std::max(68.0, 10 + 5 + 32 + 14.0)},
        {"four groups fit", 4, false, false, 185 + 2 * (4 * 20 + 27 + 19.0)},
        {"six groups fill the wing", 6, false, true, 185 + 256},
        {"seven groups fill the wing", 7, false, false, 185 + 256},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CollapsedBarLayout::collapsedWidth(geometry(185, 32), c.groups, c.snoozed, c.rightItem),
                  c.width);
    }
}

TEST(CollapsedBarLayoutTest, ManyAgentKindsShrinkOrEndInACountAndStayInTheWing)
{
    for (const qreal barHeight : {16.0, 24.0, 32.0, 44.0}) {
        for (int groups = 1; groups <= 7; ++groups) {
            SCOPED_TRACE(std::to_string(groups) + " groups, bar " + std::to_string(barHeight));
            const auto wing = CollapsedBarLayout::leftWing(groups, barHeight, 128);
            EXPECT_EQ(wing.shown + wing.overflow, groups);
            EXPECT_GE(wing.iconSize, 13);
            EXPECT_LE(wing.iconSize, CollapsedBarLayout::iconSize(barHeight));
            // The drawn content, with the "+n" when there is one, never reaches into the gap.
            qreal content = wing.shown * wing.iconSize + 9 * std::max(0, wing.shown - 1) + 14 + 5;
            if (wing.overflow > 0)
                content += 9 + CollapsedBarLayout::kOverflowWidth;
            EXPECT_LE(content, 128);
            EXPECT_LE(wing.width, 128);
            if (groups <= 4) {
                EXPECT_EQ(wing.overflow, 0);
            }
        }
    }
    EXPECT_EQ(CollapsedBarLayout::leftWing(5, 32, 128).overflow, 0) << "five kinds fit as smaller icons";
    EXPECT_LT(CollapsedBarLayout::leftWing(5, 32, 128).iconSize, 20);
    EXPECT_GT(CollapsedBarLayout::leftWing(7, 32, 128).overflow, 0);
}

TEST(CollapsedBarViewTest, WingsByState)
{
    CollapsedBarView bar(geometry(185, 32));
    bar.resize(bar.sizeHint());
    EXPECT_EQ(bar.sizeHint().width(), 185) << "no sessions: exactly the gap";
    EXPECT_TRUE(bar.iconRects().empty());

    bar.setSnoozed(true);
    bar.resize(bar.sizeHint());
    EXPECT_EQ(bar.width(), 185 + 48);
    EXPECT_EQ(bar.moonRect().width(), 10);
    EXPECT_EQ(bar.moonRect().right(), bar.width() - 14);

    bar.setSnoozed(false);
    auto sessions = kinds(3);
    for (int index = 0; index < 12; ++index)
        sessions.push_back(
            session(AgentKind::codex, "wait" + std::to_string(index), SessionStatus::NeedsPermission{}));
    bar.setSessions(sessions);
    bar.resize(bar.sizeHint());
    const auto rects = bar.iconRects();
    ASSERT_EQ(rects.size(), 3u);
    EXPECT_EQ(rects[0].left(), 14);
    EXPECT_EQ(rects[1].left() - rects[0].right(), 9);
    EXPECT_EQ(bar.groups()[1].kind, AgentKind::codex);
    EXPECT_EQ(bar.groups()[1].waitingCount, 12);
    EXPECT_EQ(bar.rightItem(), CollapsedBarView::RightItem::character);

    bar.setOpen(true);
    EXPECT_TRUE(bar.iconRects().empty()) << "the open panel's left wing is empty";
    EXPECT_FALSE(bar.rightItemRect().isEmpty()) << "the right wing keeps its item";
}

TEST(CollapsedBarViewTest, RightItemChoice)
{
    using Item = CollapsedBarView::RightItem;
    struct Case
    {
        const char* selected;
        std::optional<UsageReading> reading;
        bool sessions;
        Item expected;
    };
    const Case cases[] = {
        {"usage", std::nullopt, true, Item::none},      {"usage", usage(false), true, Item::none},
        {"usage", usage(true), false, Item::usageRing}, {"none", usage(true), true, Item::character},
        {"", std::nullopt, true, Item::character},      {"", std::nullopt, false, Item::none},
        {"cat", std::nullopt, false, Item::none},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.selected);
        EXPECT_EQ(CollapsedBarView::rightItemFor(c.selected, c.reading, c.sessions), c.expected);
    }
}

TEST(CollapsedBarViewTest, ClickReportsOnceAndCharacterFillsItsSlot)
{
    CollapsedBarView bar(geometry(185, 32));
    bar.setSessions(kinds(1));
    auto* character = new QWidget;
    bar.setCharacterLayer(character);
    bar.resize(bar.sizeHint());
    bar.show();
    EXPECT_EQ(character->parentWidget(), &bar);
    EXPECT_EQ(QRectF(character->geometry()), bar.rightItemRect());
    EXPECT_EQ(bar.rightItemRect().right(), bar.width() - 14);

    QSignalSpy clicks(&bar, &CollapsedBarView::clicked);
    QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(clicks.count(), 1);
}
