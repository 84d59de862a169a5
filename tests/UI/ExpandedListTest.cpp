#include "Core/MockData.h"
#include "Core/SessionCardList.h"
#include "Core/SessionStore.h"
#include "Core/SilenceRuleStore.h"
#include "UI/CardColumnLayout.h"
#include "UI/CollapsedBarView.h"
#include "UI/ExpandedListView.h"
#include "UI/HiddenSessionsRow.h"
#include "UI/Kit/AuroraStyle.h"
#include "UI/NotchBody.h"
#include "UI/NotchPanelMark.h"
#include "UI/SessionRowSource.h"
#include "UI/UsageStrip.h"
#include "support/ListedSessions.h"
#include "support/ManualScheduler.h"
#include "support/RecordingRowSource.h"
#include "support/WaitUntil.h"

#include <QAccessible>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <QWindow>
#include <gtest/gtest.h>

using namespace velquist;

namespace {

class ExpandedListTest : public ::testing::Test, public test::ListedSessions
{
  protected:
    test::RecordingRowSource rows;
};

} // namespace

TEST_F(ExpandedListTest, EmptyStateWithoutSessionsOrHiddenOnes)
{
    ExpandedListView list(cards, rows);
    list.setUsage(UsageReading{true, QuotaData{{{"session", "Session", 10, std::nullopt}}, {}, {}}, {}});
    EXPECT_TRUE(list.showsEmptyState());
    EXPECT_FALSE(list.footer()->isVisibleTo(&list)) << "no footer, so no usage strip";
    EXPECT_EQ(list.sizeHint().width(), 760);
    EXPECT_GT(list.sizeHint().height(), 2 * 28 + 26);
}

TEST_F(ExpandedListTest, OnlyHiddenSessionsShowTheSwitchWithTheirCount)
{
    add(2, "/work/secret");
    hide("/work/secret");
    ExpandedListView list(cards, rows);
    EXPECT_FALSE(list.showsEmptyState());
    EXPECT_TRUE(list.rows().empty());
    EXPECT_EQ(list.contentHeight(), 8 + 16);
    EXPECT_TRUE(list.hiddenRow()->isVisibleTo(&list));
    EXPECT_EQ(HiddenSessionsRow::label(2, false), "2 hidden sessions");
    EXPECT_EQ(HiddenSessionsRow::label(1, false), "1 hidden session");
    EXPECT_EQ(HiddenSessionsRow::label(0, true), "Showing hidden sessions");
    EXPECT_EQ(HiddenSessionsRow::glyph(false), "eye.slash");
    // Assistive technology reads the switch by what it shows.
    const auto readName = [&list] {
        QAccessibleInterface* read = QAccessible::queryAccessibleInterface(list.hiddenRow());
        return read ? read->text(QAccessible::Name) : QString();
    };
    EXPECT_EQ(readName(), "2 hidden sessions");

    // The switch reveals them; pressing it again hides them and the row stays for the count.
    QTest::mouseClick(list.hiddenRow(), Qt::LeftButton);
    EXPECT_TRUE(silence.revealsHidden());
    EXPECT_EQ(list.rows().size(), 2u);
    EXPECT_EQ(readName(), "Showing hidden sessions");
    QTest::mouseClick(list.hiddenRow(), Qt::LeftButton);
    EXPECT_FALSE(silence.revealsHidden());
    EXPECT_TRUE(list.rows().empty());
}

TEST_F(ExpandedListTest, RowsInPanelOrderForTheDemonstrationSessions)
{
    MockData::populate(store, clock.now());
    ExpandedListView list(cards, rows);
    const auto displayed = store.displaySessions();
    ASSERT_EQ(list.rows().size(), displayed.size());
    for (std::size_t index = 0; index < displayed.size(); ++index)
        EXPECT_EQ(list.rows()[index], list.row(displayed[index].id)) << index;
    EXPECT_EQ(list.contentHeight(), 8 + 16 + 7 * 60 + 6 * 7);
    EXPECT_FALSE(list.fades());
    EXPECT_EQ(list.listHeight(), list.contentHeight());
}

TEST_F(ExpandedListTest, RowsAreUpdatedInPlaceById)
{
    add(3);
    ExpandedListView list(cards, rows);
    const std::vector<QWidget*> before = list.rows();
    rows.made.clear();
    const std::string id = store.displaySessions()[1].id;
    const std::string other = store.displaySessions()[2].id;
    store.update(id, [](Session& session) { session.lastActivity = "Reading files"; });
    EXPECT_TRUE(rows.made.empty()) << "no row is rebuilt";
    EXPECT_EQ(rows.updated, std::vector<std::string>{id});
    for (QWidget* row : before)
        EXPECT_NE(std::find(list.rows().begin(), list.rows().end(), row), list.rows().end());

    store.remove(id);
    EXPECT_EQ(list.rows().size(), 2u);
    EXPECT_EQ(list.row(id), nullptr);
}

// The panel swaps its list for a peek and back, and a replaced list is deleted later: until then it
// must not take the changes its successor is owed.
TEST_F(ExpandedListTest, AReplacedListLeavesTheCardsToItsSuccessor)
{
    add(2);
    auto old = std::make_unique<ExpandedListView>(cards, rows);
    ExpandedListView current(cards, rows);
    EXPECT_EQ(current.rows().size(), 2u) << "the new list starts with every card";
    const std::string id = store.displaySessions()[0].id;
    rows.updated.clear();
    store.update(id, [](Session& session) { session.lastActivity = "Reading files"; });
    old->refresh();
    EXPECT_EQ(rows.updated, std::vector<std::string>{id}) << "only the current list updated its row";
    add(1);
    EXPECT_EQ(current.rows().size(), 3u);
    EXPECT_EQ(old->rows().size(), 2u);
}

TEST_F(ExpandedListTest, ManyRowsScrollAndFadeAndTheFooterStaysInsideThePanel)
{
    add(200);
    add(3, "/work/secret");
    hide("/work/secret");
    ExpandedListView list(cards, rows);
    list.setUsage(UsageReading{true, QuotaData{{{"session", "Session", 10, std::nullopt}}, {}, {}}, {}});
    EXPECT_EQ(list.rows().size(), 200u);
    EXPECT_TRUE(list.fades());
    EXPECT_EQ(list.listHeight(), 520) << "with room to spare the cap is 520";

    // Inside a panel 560 tall with a 32-point bar, the list gives way to the footer.
    list.setAvailableHeight(560 - 32);
    EXPECT_LE(list.sizeHint().height(), 560 - 32);
    EXPECT_TRUE(list.hiddenRow()->isVisibleTo(&list));
    EXPECT_TRUE(list.usageStrip()->isVisibleTo(&list));
    EXPECT_TRUE(list.fades());
}

TEST_F(ExpandedListTest, TheSheetShowsBehindTheRowsInsideTheBody)
{
    MockData::populate(store, clock.now());
    NotchGeometry geometry;
    geometry.barHeight = 32;
    NotchBody body(geometry, new CollapsedBarView(geometry));
    body.setAnimated(false);
    QObject::connect(&body, &NotchBody::sheetHeightChanged, &body, &NotchBody::setSheetHeight);
    body.setOpen(true);
    body.setSheetContent(new ExpandedListView(cards, rows));
    body.setAttribute(Qt::WA_DontShowOnScreen);
    body.show();
    body.resize(840, 600);
    QImage image(body.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::red);
    QPainter painter(&image);
    body.render(&painter, {}, {}, QWidget::DrawChildren);
    painter.end();
    // Just under the bar, beside the rows, and in the padding between two rows.
    for (const QPoint at : {QPoint(420, 36), QPoint(60, 100), QPoint(420, 32 + 8 + 60 + 3)})
        EXPECT_EQ(image.pixelColor(at).rgb(), AuroraStyle::sheet().rgb()) << at.x() << "," << at.y();
}

TEST_F(ExpandedListTest, RowsLearnWhetherThePanelIsOnScreen)
{
    add(2);
    QWidget panel;
    markAsNotchPanel(&panel);
    panel.resize(800, 400);
    auto* list = new ExpandedListView(cards, rows, &panel);
    const auto told = [&](const std::vector<QWidget*>& of) {
        std::vector<bool> result;
        for (QWidget* row : of)
            result.push_back(rows.panelVisible.at(row));
        return result;
    };
    EXPECT_TRUE(list->isPanelVisible()) << "visible until the panel says otherwise";
    EXPECT_EQ(told(list->rows()), (std::vector<bool>{true, true}));

    panel.show();
    ASSERT_TRUE(test::waitUntil([&] { return panel.windowHandle()->isExposed(); }));
    EXPECT_EQ(told(list->rows()), (std::vector<bool>{true, true}));

    panel.hide();
    ASSERT_TRUE(test::waitUntil([&] { return !list->isPanelVisible(); }));
    EXPECT_EQ(told(list->rows()), (std::vector<bool>{false, false}));
    add(1);
    EXPECT_EQ(told(list->rows()), (std::vector<bool>{false, false}))
        << "a hidden panel's list does no list work";

    panel.show();
    ASSERT_TRUE(test::waitUntil([&] { return list->isPanelVisible(); }));
    EXPECT_EQ(told(list->rows()), (std::vector<bool>{true, true, true})) << "shown again, it catches up";

    panel.show();
    ASSERT_TRUE(test::waitUntil([&] { return list->isPanelVisible(); }));
    EXPECT_EQ(told(list->rows()), (std::vector<bool>{true, true, true}));
}

TEST_F(ExpandedListTest, CardsSitSevenApartAndEightBelowTheBarWhatEverTheirGlowMargin)
{
    add(3);
    for (const int margin : {0, 13}) {
        SCOPED_TRACE(margin);
        test::RecordingRowSource glowing;
        glowing.margin = margin;
        glowing.height = 60 + 2 * margin;
        ExpandedListView list(cards, glowing);
        ASSERT_EQ(list.rows().size(), 3u);
        list.resize(list.sizeHint());
        list.rows()[0]->parentWidget()->layout()->activate();
        for (std::size_t index = 0; index < 3; ++index) {
            const QRect card = list.rows()[index]->geometry().adjusted(margin, margin, -margin, -margin);
            EXPECT_EQ(card.top(), 8 + int(index) * (60 + 7)) << index;
            EXPECT_EQ(card.left(), 24);
        }
        EXPECT_EQ(list.contentHeight(), 8 + 3 * 60 + 2 * 7 + 16);
    }
}

TEST_F(ExpandedListTest, ManyChangesInOneFrameMakeOneRefresh)
{
    add(3);
    ExpandedListView list(cards, rows, nullptr, nullptr, &clock);
    const int before = list.refreshCount();
    add(20);
    store.update(store.displaySessions()[5].id, [](Session& session) { session.lastActivity = "Editing"; });
    EXPECT_EQ(list.refreshCount(), before) << "nothing before the frame";
    clock.advance(ExpandedListView::kFrame);
    EXPECT_EQ(list.refreshCount(), before + 1);
    EXPECT_EQ(list.rows().size(), 23u);
    clock.advance(ExpandedListView::kFrame * 4);
    EXPECT_EQ(list.refreshCount(), before + 1) << "no change, no refresh";
}

// A long list refreshes less often, so the rows it walks per second stay about the same.
TEST_F(ExpandedListTest, ALongListGathersChangesForLonger)
{
    struct Case
    {
        std::size_t rows;
        int frames;
    };
    for (const Case c : {Case{1, 1}, Case{100, 1}, Case{101, 2}, Case{250, 3}, Case{2000, 20}})
        EXPECT_EQ(ExpandedListView::refreshDelay(c.rows), ExpandedListView::kFrame * c.frames) << c.rows;

    add(250);
    ExpandedListView list(cards, rows, nullptr, nullptr, &clock);
    const int before = list.refreshCount();
    store.update(store.displaySessions()[5].id, [](Session& session) { session.lastActivity = "Editing"; });
    clock.advance(ExpandedListView::kFrame * 2);
    EXPECT_EQ(list.refreshCount(), before);
    clock.advance(ExpandedListView::kFrame);
    EXPECT_EQ(list.refreshCount(), before + 1);
}

TEST_F(ExpandedListTest, AListThatIsNotShownDoesNoListWorkAndCatchesUpWhenShown)
{
    add(2);
    ExpandedListView list(cards, rows, nullptr, nullptr, &clock);
    list.setShown(false);
    const int before = list.refreshCount();
    rows.made.clear();
    add(5);
    store.update(store.displaySessions().back().id,
                 [](Session& session) { session.lastActivity = "Thinking"; });
    clock.advance(ExpandedListView::kFrame * 10);
    EXPECT_EQ(list.refreshCount(), before);
    EXPECT_TRUE(rows.made.empty());
    EXPECT_EQ(list.rows().size(), 2u);

    list.setShown(true);
    EXPECT_EQ(list.refreshCount(), before + 1) << "at once, before the sheet measures it";
    EXPECT_EQ(rows.made.size(), 5u);
    ASSERT_EQ(list.rows().size(), 7u);
    for (std::size_t index = 0; index < 7; ++index)
        EXPECT_EQ(list.rows()[index], list.row(store.displaySessions()[index].id)) << index;
}

TEST_F(ExpandedListTest, ASessionRisingToTheTopMovesOnlyItsRow)
{
    for (int index = 0; index < 6; ++index) {
        add(1);
        clock.advance(std::chrono::seconds(1));
    }
    ExpandedListView list(cards, rows);
    const std::vector<QWidget*> before = list.rows();
    auto* layout = dynamic_cast<CardColumnLayout*>(before.front()->parentWidget()->layout());
    ASSERT_NE(layout, nullptr);
    const int placed = layout->placements();
    rows.made.clear();

    const std::string bottom = store.displaySessions().back().id;
    store.update(bottom, [](Session& session) { session.lastActivity = "Reading"; });

    std::vector<QWidget*> expected{before.back()};
    expected.insert(expected.end(), before.begin(), before.end() - 1);
    EXPECT_EQ(list.rows(), expected);
    EXPECT_EQ(layout->placements(), placed + 1) << "one row put into place, the others untouched";
    EXPECT_TRUE(rows.made.empty());
    for (int index = 0; index < layout->count(); ++index)
        EXPECT_EQ(layout->itemAt(index)->widget(), expected[std::size_t(index)]) << index;

    // Sinking from the top to the bottom is one move too, and several moves at once land in order.
    store.update(store.displaySessions().front().id,
                 [](Session& session) { session.status = SessionStatus::Idle{}; });
    EXPECT_EQ(layout->placements(), placed + 2);
    for (const std::string& id : {store.displaySessions()[4].id, store.displaySessions()[2].id})
        store.update(id, [](Session& session) { session.lastActivity = "Writing"; });
    const auto displayed = store.displaySessions();
    for (int index = 0; index < layout->count(); ++index)
        EXPECT_EQ(layout->itemAt(index)->widget(), list.row(displayed[std::size_t(index)].id)) << index;
}

TEST_F(ExpandedListTest, AFilterHidesASessionAtOnce)
{
    add(2);
    add(1, "/work/secret");
    ExpandedListView list(cards, rows, nullptr, nullptr, &clock);
    ASSERT_EQ(list.rows().size(), 3u);
    hide("/work/secret");
    clock.advance(ExpandedListView::kFrame);
    EXPECT_EQ(list.rows().size(), 2u) << "no other session had to change";
    EXPECT_TRUE(list.hiddenRow()->isVisibleTo(&list));

    silence.setRevealsHidden(true);
    clock.advance(ExpandedListView::kFrame);
    EXPECT_EQ(list.rows().size(), 3u);
}

TEST_F(ExpandedListTest, RowsScrolledOutOfTheListAreToldTheyAreNotSeen)
{
    add(30); // 30 rows of 60 in a list at most 520 tall
    QWidget panel;
    markAsNotchPanel(&panel);
    panel.resize(800, 600);
    auto* list = new ExpandedListView(cards, rows, &panel);
    panel.show();
    ASSERT_TRUE(test::waitUntil([&] { return panel.windowHandle()->isExposed() && list->isPanelVisible(); }));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    const auto seen = [&] {
        std::vector<bool> result;
        for (QWidget* row : list->rows())
            result.push_back(rows.panelVisible.at(row));
        return result;
    };
    EXPECT_TRUE(seen().front());
    EXPECT_FALSE(seen().back()) << "far below the fold";

    QScrollBar* bar = list->scrollArea()->verticalScrollBar();
    bar->setValue(bar->maximum());
    EXPECT_FALSE(seen().front()) << "scrolled out at the top";
    EXPECT_TRUE(seen().back());

    panel.hide();
    ASSERT_TRUE(test::waitUntil([&] { return !list->isPanelVisible(); }));
    EXPECT_FALSE(seen().back()) << "in view, but the panel is gone";
}

namespace {

// Rows with content of their own to lay out, as session cards have.
class LaidOutRowSource final : public SessionRowSource
{
  public:
    QWidget* makeRow(const SessionCard& card) override
    {
        auto* row = new QWidget;
        auto* layout = new QVBoxLayout(row);
        layout->setContentsMargins(10, 10, 10, 10);
        auto* label = new QLabel(QString::fromStdString(card.session.cwd), row);
        label->setWordWrap(true);
        layout->addWidget(label);
        return row;
    }
    void updateRow(QWidget* row, const SessionCard& card) override
    {
        row->findChild<QLabel*>()->setText(QString::fromStdString(card.session.cwd));
    }
};

} // namespace

// A list built while its panel is closed has its rows placed and their content laid out before
// it is first shown, so the first frame of the opening only shows them; a row whose text grows
// makes the list taller once laid out again.
TEST_F(ExpandedListTest, AListOffScreenLaysOutItsRowsAheadAndFollowsTheirChanges)
{
    add(3);
    LaidOutRowSource laidOut;
    ExpandedListView list(cards, laidOut);
    ASSERT_FALSE(list.isVisible());
    for (QWidget* row : list.rows()) {
        EXPECT_EQ(row->width(), 712 + 2 * laidOut.rowMargin());
        EXPECT_EQ(row->findChild<QLabel*>()->geometry(), row->rect().adjusted(10, 10, -10, -10));
    }

    const qreal before = list.contentHeight();
    const std::string id = store.displaySessions()[1].id;
    const std::string other = store.displaySessions()[2].id;
    store.update(id,
                 [](Session& session) { session.cwd = std::string(400, 'x') + " " + std::string(400, 'y'); });
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    EXPECT_GT(list.contentHeight(), before);
    EXPECT_GT(list.row(id)->height(), list.row(other)->height());
}
