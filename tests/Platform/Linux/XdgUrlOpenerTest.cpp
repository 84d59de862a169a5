#include "Platform/Linux/XdgUrlOpener.h"

#include "Platform/Linux/LinuxProcessRunner.h"
#include "support/WaitUntil.h"
#include "support/base/TemporaryHome.h"

#include <QObject>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using namespace velquist;
namespace fs = std::filesystem;

TEST(XdgUrlOpenerTest, HandsTheUrlOverAsOneArgumentAndReportsTheExitStatus)
{
    test::TemporaryFolder folder;
    const auto tool = folder.path() / "xdg-open";
    const auto log = folder.path() / "log";
    // Fails for URLs of the scheme "bad", as xdg-open does when no handler takes a scheme.
    std::ofstream(tool) << "#!/bin/sh\nprintf '%s|%s\\n' \"$#\" \"$1\" >> '" << log.string()
                        << "'\ncase \"$1\" in bad:*) exit 4;; esac\n";
    fs::permissions(tool, fs::perms::owner_all);
    LinuxProcessRunner runner;
    XdgUrlOpener opener(runner, tool.string());
    EXPECT_TRUE(opener.canOpenUrls());
    EXPECT_FALSE(XdgUrlOpener(runner, (folder.path() / "none").string()).canOpenUrls());

    QObject context;
    const std::pair<std::string, bool> cases[] = {
        {"myterm://focus?d=/a%20b;$(touch x)", true}, {"bad://x", false}, {"-n", false}, {"", false}};
    for (const auto& [url, opened] : cases) {
        std::optional<bool> result;
        opener.open(url, &context, [&result](bool ok) { result = ok; });
        ASSERT_TRUE(test::waitUntil([&result] { return result.has_value(); })) << url;
        EXPECT_EQ(result, opened) << url;
    }
    std::ifstream in(log);
    std::string all((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(all, "1|myterm://focus?d=/a%20b;$(touch x)\n1|bad://x\n");
    EXPECT_FALSE(fs::exists(folder.path() / "x"));
}
