#include "Platform/Linux/CanberraSoundOutput.h"

#include <gtest/gtest.h>

using namespace velquist;

namespace {

TEST(CanberraSoundOutputTest, VolumeBecomesDecibels)
{
    EXPECT_DOUBLE_EQ(CanberraSoundOutput::decibels(1.0), 0.0);
    EXPECT_NEAR(CanberraSoundOutput::decibels(0.5), -6.02, 0.01);
    EXPECT_NEAR(CanberraSoundOutput::decibels(0.1), -20.0, 0.01);
}

// Where no sound server runs (as here), playing is silence, never a hang or a crash.
TEST(CanberraSoundOutputTest, PlayingWithoutASoundServerReturns)
{
    CanberraSoundOutput output;
    const std::filesystem::path file = std::filesystem::path(VELQUIST_BUILD_SHARE_DIR) / "sounds" / "tap.wav";
    for (int i = 0; i < 3; ++i)
        output.play("builtin:tap", file, 0.5);
    output.play("builtin:tap", file, 0.0);
    output.play("builtin:missing", "/nonexistent.wav", 1.0);
    output.waitForQueue();
    SUCCEED();
}

} // namespace
