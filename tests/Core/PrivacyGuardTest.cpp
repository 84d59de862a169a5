#include "Core/PrivacyGuard.h"
#include "support/DesktopProbes.h"
#include "support/MemoryDefaults.h"

#include <gtest/gtest.h>

using namespace velquist;
using Reason = PrivacyGuard::Reason;

namespace {

struct Counts
{
    int changed = 0;
    int state = 0;
};

Counts& count(PrivacyGuard& guard, Counts& counts)
{
    QObject::connect(&guard, &PrivacyGuard::changed, [&counts] { ++counts.changed; });
    QObject::connect(&guard, &PrivacyGuard::stateChanged, [&counts] { ++counts.state; });
    return counts;
}

TEST(PrivacyGuardTest, ManualModeNeverSurvivesARelaunch)
{
    test::MemoryDefaults defaults(nlohmann::json{{"privacyModeOn", true}});
    test::RecordingDisplayMirroring mirroring;
    PrivacyGuard guard(defaults, mirroring);
    EXPECT_FALSE(guard.isActive());
    EXPECT_EQ(defaults.boolValue("privacyModeOn"), false);
    guard.setActive(true);
    EXPECT_EQ(defaults.boolValue("privacyModeOn"), true);
    EXPECT_EQ(guard.reason(), Reason::manual);
}

TEST(PrivacyGuardTest, StatesAndReasons)
{
    struct Case
    {
        bool manual;
        bool suppress;
        bool mirrored;
        bool overridden;
        bool active;
        std::optional<Reason> reason;
    };
    const Case cases[] = {
        {true, true, true, false, true, Reason::manual},
        {false, true, true, false, true, Reason::mirroring},
        {false, true, true, true, false, Reason::mirroring},
        {false, true, false, false, false, std::nullopt},
        {false, false, true, false, false, std::nullopt},
    };
    for (const Case& c : cases) {
        test::MemoryDefaults defaults(nlohmann::json{{"privacySuppressWhenMirroring", c.suppress}});
        test::RecordingDisplayMirroring mirroring;
        mirroring.setMirrored(c.mirrored);
        PrivacyGuard guard(defaults, mirroring);
        if (c.overridden)
            guard.setActive(false);
        if (c.manual)
            guard.setActive(true);
        SCOPED_TRACE(::testing::Message() << c.manual << c.suppress << c.mirrored << c.overridden);
        EXPECT_EQ(guard.isActive(), c.active);
        EXPECT_EQ(guard.reason(), c.reason);
    }
}

TEST(PrivacyGuardTest, SwitchingOffWhileMirroredHoldsUntilTheMirroringEnds)
{
    test::MemoryDefaults defaults;
    test::RecordingDisplayMirroring mirroring;
    mirroring.setMirrored(true);
    PrivacyGuard guard(defaults, mirroring);
    Counts counts;
    count(guard, counts);
    EXPECT_TRUE(guard.isActive()); // no stored setting: mirroring turns privacy on

    guard.setActive(false);
    EXPECT_FALSE(guard.isActive());
    EXPECT_EQ(guard.reason(), Reason::mirroring);
    EXPECT_EQ(counts.changed, 2);
    EXPECT_EQ(counts.state, 1);

    mirroring.displaysChanged(); // still mirrored: nothing moves
    EXPECT_EQ(counts.changed, 2);
    mirroring.setMirrored(false);
    mirroring.displaysChanged();
    EXPECT_FALSE(guard.isMirroringOverridden());
    mirroring.setMirrored(true);
    mirroring.displaysChanged();
    EXPECT_TRUE(guard.isActive());
}

TEST(PrivacyGuardTest, AFailedDisplayQueryChangesNothing)
{
    test::MemoryDefaults defaults;
    test::RecordingDisplayMirroring mirroring;
    mirroring.setMirrored(true);
    PrivacyGuard guard(defaults, mirroring);
    mirroring.setMirrored(std::nullopt);
    mirroring.displaysChanged();
    EXPECT_TRUE(guard.isMirroring());
}

TEST(PrivacyGuardTest, EveryAssignmentWritesAndCallsBackButOnlyRealChangesNotify)
{
    test::MemoryDefaults defaults;
    test::RecordingDisplayMirroring mirroring;
    mirroring.setMirrored(true);
    PrivacyGuard guard(defaults, mirroring);
    Counts counts;
    count(guard, counts);

    guard.setSuppressWhenMirroring(false);
    EXPECT_FALSE(guard.isActive());
    EXPECT_EQ(guard.reason(), std::nullopt);
    EXPECT_EQ(defaults.boolValue("privacySuppressWhenMirroring"), false);
    guard.setActive(false); // already off and not following mirroring
    guard.setActive(false);
    EXPECT_EQ(counts.changed, 3);
    EXPECT_EQ(counts.state, 1);
}

} // namespace
