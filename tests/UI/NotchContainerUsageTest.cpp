#include "Core/NotchViewModel.h"
#include "UI/CollapsedBarView.h"
#include "UI/ExpandedListView.h"
#include "UI/NotchContainerView.h"
#include "UI/UsageStrip.h"
#include "Usage/UsageStore.h"
#include "support/AttentionWorld.h"
#include "support/HeldUsageSource.h"
#include "support/RecordingRowSource.h"

#include <gtest/gtest.h>

using namespace velquist;

namespace {

// A panel that reads its usage from a usage store, refreshed on the store's every change, as the
// application wires them.
class NotchContainerUsageTest : public ::testing::Test, public test::AttentionWorld
{
  protected:
    NotchContainerUsageTest()
        : model({32, 185, 128}, store, coordinator, &privacy, defaults, clock),
          usage(clock, clock, defaults, claude, codex)
    {
        geometry.centerGapWidth = 185;
        geometry.barHeight = 32;
        defaults.setValue("selectedCharacterId", std::string("usage"));
        Session session;
        session.id = "claude:a";
        session.cwd = "/home/u/project";
        startQuietly(session);
        view = std::make_unique<NotchContainerView>(
            model, geometry,
            NotchContainerView::Services{coordinator,
                                         defaults,
                                         rows,
                                         clock,
                                         [this] { return std::optional<UsageReading>(usage.reading()); },
                                         {}});
        view->setAnimated(false);
        QObject::connect(&usage, &UsageStore::readingChanged, view.get(), &NotchContainerView::refreshUsage);
    }

    bool ringShows() const { return view->bar()->rightItem() == CollapsedBarView::RightItem::usageRing; }
    const UsageStrip& strip() const { return *view->list()->usageStrip(); }

    NotchGeometry geometry;
    NotchViewModel model;
    test::RecordingRowSource rows;
    test::HeldUsageSource claude;
    test::HeldUsageSource codex;
    UsageStore usage;
    std::unique_ptr<NotchContainerView> view;
};

} // namespace

TEST_F(NotchContainerUsageTest, RingAndStripFollowTheStoresReading)
{
    ASSERT_NE(view->list(), nullptr);
    EXPECT_FALSE(ringShows()) << "nothing read yet";
    EXPECT_FALSE(strip().isShowing());

    usage.start();
    claude.answer(test::quotaOf({{"session", 42}, {"weekly", 10}}));
    EXPECT_TRUE(ringShows());
    ASSERT_TRUE(strip().isShowing());
    EXPECT_EQ(strip().reading(), usage.reading());

    // The other account has not been read yet: its name stands alone, and nothing of the first
    // account's reading is left.
    usage.setProvider(UsageProvider::codex);
    EXPECT_FALSE(ringShows());
    EXPECT_FALSE(strip().isShowing());
    codex.answer(test::quotaOf({{"session", 70}}));
    EXPECT_TRUE(ringShows());
    EXPECT_EQ(strip().reading().provider, UsageProvider::codex);

    usage.setEnabled(false);
    EXPECT_FALSE(ringShows());
    EXPECT_FALSE(strip().isShowing());
}
