#include "Core/CommandLookup.h"
#include "Platform/Linux/LinuxProcessRunner.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace velquist;
namespace fs = std::filesystem;

// The lookup with the real process runner, as the application builds it.
TEST(CommandLookupTest, FindsAToolThroughARealLoginShell)
{
    LinuxProcessRunner runner;
    CommandLookup lookup(runner, "/bin/sh");
    const auto found = lookup.find("sh");
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(fs::path(*found).filename(), "sh");
}
