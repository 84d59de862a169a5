#include <gtest/gtest.h>

#include <csignal>

// The entry of test programs whose code must run without Qt: no application object, no event loop.
int main(int argc, char** argv)
{
    std::signal(SIGPIPE, SIG_IGN);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
