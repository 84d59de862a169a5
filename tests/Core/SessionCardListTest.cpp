#include "support/ListedSessions.h"

#include <gtest/gtest.h>

using namespace velquist;

namespace {

class SessionCardListTest : public ::testing::Test, public test::ListedSessions
{
  protected:
    SessionCardListTest() { cards.attach(this); }

    void setActivity(const std::string& id, const std::string& activity)
    {
        store.update(id, [&](Session& session) { session.status = SessionStatus::Working{activity}; });
    }

    std::vector<std::string> displayedIds() const
    {
        std::vector<std::string> ids;
        for (const Session* session : store.displayOrder())
            ids.push_back(session->id);
        return ids;
    }
};

} // namespace

TEST_F(SessionCardListTest, AnUpdateTellsOnlyTheCardsWhoseValueChanged)
{
    const std::string a = add(1, "/work/alpha");
    const std::string b = add(1, "/work/beta");
    const std::string c = add(1, "/work/gamma");

    SessionCardList::Update first = cards.update();
    EXPECT_EQ(first.changed, displayedIds());
    EXPECT_TRUE(first.reordered);
    EXPECT_FALSE(cards.hasPending());
    ASSERT_NE(cards.card(b), nullptr);
    EXPECT_EQ(cards.card(b)->title, "beta");

    // Touched but equal: nothing to redraw.
    store.upsert(Session(*store.session(b)));
    EXPECT_TRUE(cards.hasPending());
    EXPECT_TRUE(cards.update().changed.empty());

    setActivity(b, "Reading files");
    const SessionCardList::Update second = cards.update();
    EXPECT_EQ(second.changed, std::vector<std::string>{b});
    EXPECT_EQ(cards.card(b)->status.text, "Reading files");
    EXPECT_EQ(cards.card(a)->status.text, QString::fromUtf8("Working\u2026"));

    store.remove(c);
    const SessionCardList::Update third = cards.update();
    EXPECT_EQ(third.removed, std::vector<std::string>{c});
    EXPECT_TRUE(third.reordered);
    EXPECT_EQ(cards.card(c), nullptr);
    EXPECT_EQ(cards.order(), displayedIds());
}

TEST_F(SessionCardListTest, ChangesPastWhatItNotesStillReachTheCards)
{
    std::vector<std::string> ids;
    for (int index = 0; index < 300; ++index)
        ids.push_back(add(1, "/work/p" + std::to_string(index)));
    cards.update();
    for (const std::string& id : ids)
        setActivity(id, "Editing");
    const SessionCardList::Update update = cards.update();
    EXPECT_EQ(update.changed.size(), ids.size());
    for (const std::string& id : ids)
        EXPECT_EQ(cards.card(id)->status.text, "Editing") << id;
}

TEST_F(SessionCardListTest, ANewReaderIsToldEveryCardAnew)
{
    add(1, "/work/alpha");
    add(1, "/work/beta");
    cards.update();
    int other = 0;
    cards.attach(&other);
    EXPECT_TRUE(cards.isReader(&other));
    EXPECT_FALSE(cards.isReader(this));
    EXPECT_TRUE(cards.hasPending());
    const SessionCardList::Update update = cards.update();
    EXPECT_EQ(update.changed, displayedIds());
    EXPECT_TRUE(update.removed.empty());
}

TEST_F(SessionCardListTest, HiddenSessionsLeaveTheListButNotItsFooter)
{
    add(1, "/work/secret");
    cards.update();
    hide("/work/secret");

    cards.update();
    EXPECT_TRUE(cards.order().empty());
    EXPECT_EQ(cards.hiddenCount(), 1);
    EXPECT_FALSE(cards.isEmpty());

    cards.setRevealsHidden(true);
    EXPECT_TRUE(cards.revealsHidden());
    cards.update();
    EXPECT_EQ(cards.order().size(), 1u);
}
