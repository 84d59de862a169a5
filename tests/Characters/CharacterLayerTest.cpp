#include "Characters/CharacterLayer.h"
#include "Characters/CharacterCatalog.h"
#include "Characters/CharacterDirector.h"
#include "Characters/CharacterSettings.h"
#include "Characters/CharacterView.h"
#include "Core/SessionStore.h"
#include "PackFixture.h"
#include "TestSession.h"
#include "support/ManualScheduler.h"
#include "support/MemoryDefaults.h"
#include "support/WaitUntil.h"

#include "UI/NotchPanelMark.h"
#include <QThreadPool>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>
#include <unistd.h>

using namespace velquist;
using namespace std::chrono_literals;
using S = SessionStatus;

namespace {

Session make(const std::string& id, SessionStatus status)
{
    return test::characterSession(id, std::move(status));
}

// Two packs: "velq" with a distinct colour per mood, and "other" with only a resting animation.
class CharacterLayerTest : public ::testing::Test
{
  protected:
    CharacterLayerTest()
        : silence(packs.root() / "rules.json"), store(clock, clock, packs.root() / "s.json", &silence),
          catalog(packs.root() / "Characters")
    {
        const std::pair<const char*, QColor> moods[] = {
            {"resting", Qt::blue}, {"active", Qt::green}, {"alert", Qt::red}, {"celebrating", Qt::yellow}};
        std::string animations;
        for (const auto& [mood, colour] : moods) {
            packs.sheet(std::string("Characters/velq/") + mood + ".png", sheet(colour));
            animations += std::string(animations.empty() ? "" : ",") + "\"" + mood + "\":{\"file\":\"" +
                          mood + ".png\",\"frames\":4,\"fps\":8}";
        }
        packs.pack("Characters/velq", R"({"name":"Velq","credit":"c","frameWidth":16,"frameHeight":16,
            "animations":{)" + animations +
                                          "}}");
        packs.sheet("Characters/other/rest.png", sheet(Qt::magenta));
        packs.pack("Characters/other", test::PackFixture::manifest(16, {{"resting", "rest.png"}}));
    }

    // Four frames, each with a block whose width tells the frame apart (1 to 4 pixels wide).
    static QImage sheet(const QColor& colour)
    {
        QImage image = test::PackFixture::strip(4, 16);
        for (int frame = 0; frame < 4; ++frame)
            for (int x = 0; x <= frame; ++x)
                for (int y = 4; y < 12; ++y)
                    image.setPixelColor(frame * 16 + 4 + x, y, colour);
        // Together the frames fill the box (4, 4, 4, 8).
        return image;
    }

    // Which frame (0 to 3) and colour the view shows; -1 for nothing.
    int shownFrameIndex() const
    {
        const QImage shown = layer->view().shownFrame();
        if (shown.isNull())
            return -1;
        int width = 0;
        for (int x = 0; x < shown.width(); ++x)
            width += qAlpha(shown.pixel(x, 6)) > 0 ? 1 : 0;
        return width - 1;
    }
    QColor shownColour() const { return layer->view().shownFrame().pixelColor(0, 6); }

    void makeLayer(QWidget* parent = nullptr)
    {
        layer = std::make_unique<CharacterLayer>(store, defaults, catalog, clock, clock, 24, parent);
    }

    // A top-level window holding the layer, shown, as the panel would host it.
    void showInWindow()
    {
        window = std::make_unique<QWidget>();
        // In the application the layer lives in a notch panel, whose visibility it follows.
        markAsNotchPanel(window.get());
        auto* box = new QVBoxLayout(window.get());
        makeLayer(window.get());
        box->addWidget(layer.get());
        window->show();
        ASSERT_TRUE(test::waitUntil([&] { return layer->isPanelVisible(); }));
    }

    test::PackFixture packs;
    test::ManualScheduler clock;
    SilenceRuleStore silence;
    SessionStore store;
    test::MemoryDefaults defaults;
    CharacterCatalog catalog;
    std::unique_ptr<QWidget> window;
    // Destroyed before its window, which then no longer owns it.
    std::unique_ptr<CharacterLayer> layer;
};

} // namespace

TEST_F(CharacterLayerTest, AnimatesOnlyWhileVisibleWithSessions)
{
    showInWindow();
    EXPECT_TRUE(layer->showsCharacter());
    EXPECT_FALSE(layer->view().isAnimating()) << "no session displayed: no timer";
    EXPECT_EQ(shownFrameIndex(), 0);

    store.upsert(make("claude:a", S::Working{}));
    EXPECT_TRUE(layer->view().isAnimating());
    EXPECT_EQ(layer->mood(), CharacterMood::active);
    EXPECT_EQ(shownColour(), QColor(Qt::green));
    clock.advance(250ms);
    EXPECT_EQ(shownFrameIndex(), 2);

    window->hide();
    ASSERT_TRUE(test::waitUntil([&] { return !layer->isPanelVisible(); }));
    EXPECT_FALSE(layer->view().isAnimating());
    EXPECT_EQ(shownFrameIndex(), 0) << "a still first frame";

    clock.advance(250ms);
    window->show();
    ASSERT_TRUE(test::waitUntil([&] { return layer->isPanelVisible(); }));
    EXPECT_TRUE(layer->view().isAnimating());
    EXPECT_EQ(shownFrameIndex(), 0) << "the animation starts again";
    clock.advance(125ms);
    EXPECT_EQ(shownFrameIndex(), 1);

    store.remove("claude:a");
    EXPECT_FALSE(layer->view().isAnimating());
}

TEST_F(CharacterLayerTest, AMoodChangeCutsTheNewSheetsAndStartsAtTheirFirstFrame)
{
    showInWindow();
    store.upsert(make("claude:a", S::Working{}));
    clock.advance(375ms);
    EXPECT_EQ(shownFrameIndex(), 3);
    store.update("claude:a", [](Session& s) { s.status = S::WaitingForInput{}; });
    EXPECT_EQ(layer->mood(), CharacterMood::alert);
    EXPECT_EQ(shownColour(), QColor(Qt::red));
    EXPECT_EQ(shownFrameIndex(), 0);
    clock.advance(130ms);
    EXPECT_EQ(shownFrameIndex(), 1);
}

TEST_F(CharacterLayerTest, NoneDrawsNothingWhileTheDirectorFollows)
{
    defaults.setValue(CharacterSettings::kSelectedCharacterKey, "none");
    showInWindow();
    store.upsert(make("claude:a", S::Working{}));
    EXPECT_FALSE(layer->showsCharacter());
    EXPECT_FALSE(layer->view().isAnimating());
    EXPECT_EQ(layer->mood(), CharacterMood::active);
    EXPECT_EQ(layer->size(), QSize(24, 24)) << "the place is kept";
    QImage picture(layer->size(), QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    layer->render(&picture, QPoint(), QRegion(), QWidget::DrawChildren);
    EXPECT_EQ(picture.pixelColor(12, 12).alpha(), 0);
}

TEST_F(CharacterLayerTest, FollowsTheChoiceAndFallsBackWhenThePackIsGone)
{
    const struct
    {
        const char* choice;
        const char* pack; // nullptr: none
    } cases[] = {{"other", "other"}, {"gone", "velq"}, {"", "velq"}, {"usage", nullptr}, {"velq", "velq"}};
    showInWindow();
    store.upsert(make("claude:a", S::Idle{}));
    for (const auto& c : cases) {
        defaults.setValue(CharacterSettings::kSelectedCharacterKey, c.choice);
        const auto& shown = layer->view().character();
        if (!c.pack)
            EXPECT_FALSE(shown) << c.choice;
        else
            EXPECT_EQ(shown ? shown->id : "(none)", c.pack) << c.choice;
        EXPECT_EQ(layer->view().isAnimating(), c.pack != nullptr) << c.choice;
    }
    defaults.setValue(CharacterSettings::kSelectedCharacterKey, "other");
    EXPECT_EQ(shownColour(), QColor(Qt::magenta)) << "frames of the chosen pack";
}

TEST_F(CharacterLayerTest, CelebratesWhenASessionFinishes)
{
    showInWindow();
    store.upsert(make("claude:a", S::Working{}));
    store.update("claude:a", [](Session& s) { s.status = S::Done{}; });
    EXPECT_EQ(layer->mood(), CharacterMood::celebrating);
    EXPECT_EQ(shownColour(), QColor(Qt::yellow));
    clock.advance(3s);
    EXPECT_EQ(layer->mood(), CharacterMood::resting);
    EXPECT_EQ(shownColour(), QColor(Qt::blue));
}

TEST_F(CharacterLayerTest, ANotShownLayerSetsNoTimer)
{
    makeLayer();
    store.upsert(make("claude:a", S::Working{}));
    EXPECT_FALSE(layer->isPanelVisible());
    EXPECT_FALSE(layer->view().isAnimating());
}

TEST_F(CharacterLayerTest, APackIsCutOnTheWorkersOnceAndMoodsSwitchBetweenItsFrames)
{
    QThreadPool workers;
    CharacterView view(clock, clock);
    view.setWorkers(&workers);
    const auto& loaded = catalog.packs();
    ASSERT_EQ(loaded.size(), 2u);
    view.setCharacter(loaded[0]);
    // Nothing is drawn until the worker's frames arrive on this thread.
    EXPECT_TRUE(view.shownFrame().isNull());
    ASSERT_TRUE(test::waitUntil([&] { return !view.shownFrame().isNull(); }));
    EXPECT_EQ(view.shownFrame().pixelColor(0, 6), QColor(Qt::blue));
    view.setMood(CharacterMood::alert);
    EXPECT_EQ(view.shownFrame().pixelColor(0, 6), QColor(Qt::red));

    // A choice that is replaced before its frames arrive never shows.
    view.setCharacter(loaded[1]);
    view.setCharacter(loaded[0]);
    ASSERT_TRUE(test::waitUntil([&] { return !view.shownFrame().isNull(); }));
    test::drain(workers);
    EXPECT_EQ(view.character()->id, "velq");
    EXPECT_EQ(view.shownFrame().pixelColor(0, 6), QColor(Qt::red));
}

namespace {

TEST_F(CharacterLayerTest, AFilterThatHidesTheOnlyWorkingSessionRestsTheCharacterAtOnce)
{
    showInWindow();
    Session session = make("claude:a", S::Working{});
    session.cwd = "/tmp/scratch";
    store.upsert(session);
    ASSERT_EQ(layer->mood(), CharacterMood::active);
    SilenceRule rule;
    rule.id = QUuid::createUuid();
    rule.field = SilenceRule::Field::directory;
    rule.match = SilenceRule::Match::prefix;
    rule.pattern = "/tmp";
    silence.add(rule);
    clock.advance(CharacterLayer::kFrame);
    EXPECT_EQ(layer->mood(), CharacterMood::resting) << "no other session had to change";
    EXPECT_FALSE(layer->view().isAnimating()) << "nothing displayed, nothing animates";
}

} // namespace
