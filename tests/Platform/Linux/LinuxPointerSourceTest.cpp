#include "Platform/Linux/LinuxPointerSource.h"

#include "support/WaitUntil.h"
#include "support/XServer.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace velquist;

TEST(LinuxPointerSourceTest, WithoutAServerNothingIsTracked)
{
    for (const char* display : {"", ":9731"}) {
        LinuxPointerSource pointer(display);
        const PointerSource::Interest interest(pointer);
        EXPECT_FALSE(pointer.canTrackPosition()) << display;
        EXPECT_FALSE(pointer.canWatchPointer()) << display;
        EXPECT_EQ(pointer.position(), std::nullopt) << display;
    }
}

TEST(LinuxPointerSourceTest, ReportsMovesAndPressesOnlyWhileSomeoneIsInterested)
{
    test::XServer x;
    if (!x.isRunning() || x.run({"xdotool", "mousemove", "1", "1"}) != 0)
        GTEST_SKIP() << "no Xvfb or xdotool";
    LinuxPointerSource pointer(x.display());
    ASSERT_TRUE(pointer.canTrackPosition());
    ASSERT_TRUE(pointer.canWatchPointer());
    QSignalSpy moves(&pointer, &PointerSource::moved);
    QSignalSpy presses(&pointer, &PointerSource::buttonPressed);

    ASSERT_EQ(x.run({"xdotool", "mousemove", "30", "40"}), 0);
    EXPECT_EQ(pointer.position(), QPoint(30, 40));
    test::settle();
    EXPECT_TRUE(moves.isEmpty());

    {
        const PointerSource::Interest outer(pointer);
        const PointerSource::Interest inner(pointer);
        x.sync();
        // Relative moves go through the input devices, as a hand on the mouse does.
        ASSERT_EQ(x.run({"xdotool", "mousemove_relative", "--", "70", "80"}), 0);
        ASSERT_TRUE(test::waitUntil(
            [&] { return !moves.isEmpty() && moves.last().at(0).toPoint() == QPoint(100, 120); }));

        struct Case
        {
            const char* button;
            std::optional<Qt::MouseButton> reported;
        };
        const Case cases[] = {
            {"1", Qt::LeftButton}, {"3", Qt::RightButton}, {"4", std::nullopt}, {"2", Qt::MiddleButton}};
        for (const auto& c : cases)
            ASSERT_EQ(x.run({"xdotool", "click", c.button}), 0);
        std::vector<Qt::MouseButton> expected;
        for (const auto& c : cases) {
            if (c.reported)
                expected.push_back(*c.reported);
        }
        ASSERT_TRUE(test::waitUntil([&] { return presses.size() >= static_cast<int>(expected.size()); }));
        test::settle();
        ASSERT_EQ(presses.size(), static_cast<int>(expected.size()));
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(presses.at(static_cast<int>(i)).at(1).value<Qt::MouseButton>(), expected[i]);
            EXPECT_EQ(presses.at(static_cast<int>(i)).at(0).toPoint(), QPoint(100, 120));
        }
    }

    // The last interest ended: the server stops sending.
    x.sync();
    moves.clear();
    presses.clear();
    ASSERT_EQ(x.run({"xdotool", "mousemove_relative", "--", "5", "6", "click", "1"}), 0);
    test::settle(std::chrono::milliseconds(300));
    EXPECT_TRUE(moves.isEmpty());
    EXPECT_TRUE(presses.isEmpty());
}
