#include "Characters/CharacterView.h"
#include "Characters/CharacterCatalog.h"
#include "PackFixture.h"
#include "support/ManualScheduler.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>

#include <gtest/gtest.h>

using namespace velquist;
using namespace std::chrono_literals;

namespace {

// Counts the paint events a widget receives.
class PaintCounter : public QObject
{
  public:
    int paints = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

} // namespace

// A step to a frame that looks like the one on screen is not repainted; each frame is drawn as a
// direct scaled drawing of it would be.
TEST(CharacterViewTest, RepaintsOnlyWhenThePictureChangesAndDrawsEachFrameScaled)
{
    test::PackFixture packs;
    // Frames 0 and 1 alike, 2 and 3 alike, the two pairs different.
    const QImage strip = test::PackFixture::strip(4, 8, {{0, 2, 2}, {1, 2, 2}, {2, 5, 5}, {3, 5, 5}});
    packs.sheet("Characters/p/active.png", strip);
    packs.pack("Characters/p",
               test::PackFixture::manifest(8, {{"resting", "active.png"}, {"active", "active.png"}}, 4, 10));
    CharacterCatalog catalog(packs.root() / "Characters");
    ASSERT_EQ(catalog.packs().size(), 1u);

    test::ManualScheduler clock;
    QWidget window;
    auto* view = new CharacterView(clock, clock, &window);
    view->setCharacter(catalog.packs().front());
    view->setMood(CharacterMood::active);
    view->setBox(24);
    window.resize(24, 24);
    window.show();
    view->setActive(true);
    PaintCounter counter;
    view->installEventFilter(&counter);
    const auto paintsAfter = [&](std::chrono::milliseconds step) {
        counter.paints = 0;
        clock.advance(step);
        QApplication::processEvents();
        return counter.paints;
    };
    paintsAfter(10ms);
    EXPECT_EQ(paintsAfter(100ms), 0) << "frame 1 looks like frame 0";
    EXPECT_EQ(paintsAfter(100ms), 1) << "frame 2 differs";
    EXPECT_EQ(paintsAfter(100ms), 0) << "frame 3 looks like frame 2";
    EXPECT_EQ(paintsAfter(100ms), 1) << "back to frame 0";

    // The view's picture against the frame scaled straight onto the square.
    QImage drawn(24, 24, QImage::Format_ARGB32_Premultiplied);
    drawn.fill(Qt::transparent);
    view->render(&drawn, QPoint(), QRegion(), QWidget::RenderFlags());
    QImage expected(24, 24, QImage::Format_ARGB32_Premultiplied);
    expected.fill(Qt::transparent);
    QPainter painter(&expected);
    painter.drawImage(QRectF(0, 0, 24, 24), view->shownFrame());
    painter.end();
    EXPECT_EQ(drawn, expected);
}
