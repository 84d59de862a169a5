#include "support/AppEnvironment.h"
#include "support/WaitUntil.h"
#include "support/XServer.h"
#include "support/base/TemporaryFolder.h"

#include <QProcess>
#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>

using namespace velquist;
using namespace std::chrono_literals;
using velquist::test::XServer;

namespace {

std::optional<nlohmann::json> defaultsIn(const std::filesystem::path& home)
{
    std::ifstream file(home / ".config/Velquist/defaults.json");
    if (!file)
        return std::nullopt;
    std::stringstream text;
    text << file.rdbuf();
    const auto parsed = nlohmann::json::parse(text.str(), nullptr, false);
    return parsed.is_discarded() ? std::nullopt : std::optional(parsed);
}

bool playedIn(const std::filesystem::path& home)
{
    const auto values = defaultsIn(home);
    return values && values->value("IntroMoviePlayed", false);
}

} // namespace

// A first launch on a desktop with a window manager: the tour's card shows, takes the keyboard,
// and Return walks it to its end; the asking step is left out because the window manager lets us
// raise windows. At the end the tour is marked played and its card is gone.
TEST(IntroTourX11Test, ReturnWalksTheTourToItsEndOnTheRealDesktop)
{
    test::TemporaryFolder home;
    XServer x;
    if (!x.isRunning() || !x.startWindowManager(home.path()))
        GTEST_SKIP() << "no Xvfb or openbox";

    QProcess app;
    app.setProcessEnvironment(test::appEnvironment(home.path(), x.display()));
    app.start(QStringLiteral(VELQUIST_APP_PATH), {});
    ASSERT_TRUE(app.waitForStarted(10'000));

    const auto cardShown = [&] {
        return x.run({"xdotool", "search", "--onlyvisible", "--name", "^Velquist Introduction$"}) == 0;
    };
    ASSERT_TRUE(test::waitUntil(cardShown, 30s)) << "the card never showed";

    // welcome, working, permission (then its Allow sequence plays, about 2.5 s), quiet, local, ready,
    // end. Each press waits long enough for the Allow sequence, since a press during it restarts it.
    for (int press = 0; press < 12 && !playedIn(home.path()); ++press) {
        x.run({"xdotool", "search", "--name", "^Velquist Introduction$", "windowactivate", "--sync", "key",
               "Return"});
        test::waitUntil([&] { return playedIn(home.path()); }, 3500ms);
    }
    ASSERT_TRUE(playedIn(home.path())) << "the tour never ended";
    EXPECT_TRUE(test::waitUntil([&] { return !cardShown(); }, 10s)) << "the card stayed";

    ::kill(static_cast<pid_t>(app.processId()), SIGTERM);
    EXPECT_TRUE(app.waitForFinished(10'000));
    EXPECT_EQ(app.exitCode(), 0);
}
