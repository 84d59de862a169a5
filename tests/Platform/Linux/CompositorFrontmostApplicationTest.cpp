#include "Platform/Linux/CompositorFrontmostApplication.h"

#include "Platform/Linux/SwayWindowSystem.h"
#include "support/FakeSway.h"
#include "support/WaitUntil.h"
#include "support/base/TemporaryFolder.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

using namespace velquist;
using test::FakeSway;

namespace {

// One workspace of two windows, `focused` the one with the focus.
std::string treeFocusing(int focused)
{
    std::string nodes;
    for (const int id : {4, 7}) {
        nodes += std::string(nodes.empty() ? "" : ",") + R"({"id": )" + std::to_string(id) +
                 R"(, "type": "con", "pid": )" + std::to_string(100 + id) +
                 R"(, "app_id": "foot", "focused": )" + (id == focused ? "true" : "false") +
                 R"(, "visible": true, "nodes": []})";
    }
    return R"({"id": 1, "type": "root", "nodes": [{"id": 10, "type": "workspace", "name": "1", "num": 1, "nodes": [)" +
           nodes + "]}]}";
}

// The commands the compositor was sent, in order.
std::vector<std::string> commands(const FakeSway& sway)
{
    std::vector<std::string> result;
    for (const auto& [type, payload] : sway.requests()) {
        if (type == SwayWindowSystem::runCommand)
            result.push_back(payload);
    }
    return result;
}

} // namespace

TEST(CompositorFrontmostApplicationTest, FollowsTheFocusEventsOfTheCompositor)
{
    test::TemporaryFolder folder;
    FakeSway sway(folder.path());
    sway.reply(SwayWindowSystem::getTree, treeFocusing(7));
    SwayWindowSystem windows(sway.path());
    ASSERT_TRUE(test::waitUntil([&] { return sway.subscribed(); }));
    CompositorFrontmostApplication frontmost(windows);
    ASSERT_TRUE(frontmost.canTellFrontmost());
    EXPECT_TRUE(frontmost.canReturnFocus());

    ASSERT_TRUE(test::waitUntil([&] { return frontmost.activeWindow() == 7u; }));
    EXPECT_EQ(frontmost.frontmostPid(), 107);

    sway.reply(SwayWindowSystem::getTree, treeFocusing(4));
    sway.send(SwayWindowSystem::frame(0x80000003u, R"({"change": "focus"})"));
    ASSERT_TRUE(test::waitUntil([&] { return frontmost.activeWindow() == 4u; }));
    EXPECT_EQ(frontmost.frontmostPid(), 104);

    sway.reply(SwayWindowSystem::getTree, treeFocusing(0));
    sway.send(SwayWindowSystem::frame(0x80000003u, R"({"change": "close"})"));
    ASSERT_TRUE(test::waitUntil([&] { return !frontmost.activeWindow(); }));
    EXPECT_FALSE(frontmost.frontmostPid());
}

TEST(CompositorFrontmostApplicationTest, HandsFocusBackWithoutTheCallerWaitingForTheCompositor)
{
    test::TemporaryFolder folder;
    FakeSway sway(folder.path());
    sway.reply(SwayWindowSystem::getTree, treeFocusing(7));
    sway.reply(SwayWindowSystem::runCommand, R"([{"success": true}])");
    SwayWindowSystem windows(sway.path());
    CompositorFrontmostApplication frontmost(windows);
    ASSERT_TRUE(test::waitUntil([&] { return frontmost.activeWindow() == 7u; }));

    // The compositor stalls on the request: the main thread goes on with its queue meanwhile.
    sway.hold();
    frontmost.activate(4);
    bool queuedRan = false;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&queuedRan] { queuedRan = true; }, Qt::QueuedConnection);
    ASSERT_TRUE(test::waitUntil([&] { return queuedRan && sway.holdsRequest(); }));
    EXPECT_TRUE(sway.holdsWaitingClient()) << "the queued call ran while the request was still unanswered";

    // Requests made meanwhile fold into the last one.
    frontmost.activate(5);
    frontmost.activate(7);
    sway.release();
    ASSERT_TRUE(test::waitUntil([&] { return commands(sway).size() == 2; }));
    EXPECT_EQ(commands(sway), (std::vector<std::string>{"[con_id=4] focus", "[con_id=7] focus"}));
}

TEST(CompositorFrontmostApplicationTest, WithoutTheCompositorsEventsNothingIsToldOrAsked)
{
    test::TemporaryFolder folder;
    SwayWindowSystem gone((folder.path() / "nothing.sock").string());
    CompositorFrontmostApplication frontmost(gone);
    EXPECT_FALSE(frontmost.canTellFrontmost());
    EXPECT_FALSE(frontmost.canReturnFocus());
    EXPECT_FALSE(frontmost.activeWindow());
    frontmost.activate(4);
    EXPECT_FALSE(frontmost.frontmostPid());
}
