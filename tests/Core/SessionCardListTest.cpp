#include "Core/SessionCardList.h"
#include "Core/SessionStore.h"
#include "Core/SilenceRuleStore.h"
#include "support/ManualScheduler.h"

#include <QTemporaryDir>
#include <QUuid>
#include <gtest/gtest.h>

using namespace velquist;

namespace {

class SessionCardListTest : public ::testing::Test
{
  protected:
    SessionCardListTest()
        : silence(path("silence-rules.json")), store(clock, clock, path("sessions.json"), &silence)
    {
        store.disablePersistence();
        cards.attach(this);
    }

    std::filesystem::path path(const char* name) const
    {
        return std::filesystem::path(dir.path().toStdString()) / name;
    }

    std::string add(const std::string& cwd)
    {
        Session session;
        session.id = "claude:" + std::to_string(m_next++);
        session.cwd = cwd;
        session.status = SessionStatus::Working{};
        store.upsert(session);
        return session.id;
    }

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

    QTemporaryDir dir;
    test::ManualScheduler clock;
    SilenceRuleStore silence;
    SessionStore store;
    SessionCardList cards{store};
    int m_next = 0;
};

} // namespace

TEST_F(SessionCardListTest, AnUpdateTellsOnlyTheCardsWhoseValueChanged)
{
    const std::string a = add("/work/alpha");
    const std::string b = add("/work/beta");
    const std::string c = add("/work/gamma");

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
        ids.push_back(add("/work/p" + std::to_string(index)));
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
    add("/work/alpha");
    add("/work/beta");
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
    add("/work/secret");
    cards.update();
    SilenceRule rule;
    rule.id = QUuid::createUuid();
    rule.pattern = "/work/secret";
    rule.match = SilenceRule::Match::prefix;
    silence.add(rule);

    cards.update();
    EXPECT_TRUE(cards.order().empty());
    EXPECT_EQ(cards.hiddenCount(), 1);
    EXPECT_FALSE(cards.isEmpty());

    cards.setRevealsHidden(true);
    EXPECT_TRUE(cards.revealsHidden());
    cards.update();
    EXPECT_EQ(cards.order().size(), 1u);
}
