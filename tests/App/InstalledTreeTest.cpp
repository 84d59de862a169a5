#include "Platform/Linux/XdgAutostartLoginItem.h"
#include "support/AppOnX.h"
#include "support/WaitUntil.h"
#include "support/XServer.h"
#include "support/base/TemporaryFolder.h"

#include <QProcess>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace velquist;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

constexpr const char* kAppId = "org.velquist.Velquist";

// Runs a program to its end; its exit code, or -1 when it could not run or did not finish.
int runToEnd(const QString& program, const QStringList& arguments, QString* output = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForStarted(10'000) || !process.waitForFinished(300'000))
        return -1;
    if (output)
        *output = QString::fromLocal8Bit(process.readAll());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QString q(const fs::path& path)
{
    return QString::fromStdString(path.string());
}

} // namespace

TEST(InstalledTreeTest, StartsFromItsPrefixWithItsResourcesAndStartsItselfAtLogin)
{
    test::TemporaryFolder prefix;
    QString output;
    ASSERT_EQ(runToEnd(VELQUIST_CMAKE_COMMAND,
                       {"--install", VELQUIST_BUILD_DIR, "--prefix", q(prefix.path())}, &output),
              0)
        << output.toStdString();

    const fs::path share = prefix.path() / "share";
    const fs::path program = prefix.path() / "bin" / "velquist";
    for (const fs::path& file :
         {program, prefix.path() / "bin" / "quorvel", share / "velquist/Characters/velq/manifest.json",
          share / "icons/hicolor/256x256/apps/velquist.png",
          share / "applications" / (std::string(kAppId) + ".desktop"),
          share / "metainfo" / (std::string(kAppId) + ".metainfo.xml")})
        EXPECT_TRUE(fs::is_regular_file(file)) << file;
    int sounds = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(share / "velquist/sounds", ec))
        sounds += entry.path().extension() == ".wav" ? 1 : 0;
    EXPECT_GE(sounds, 4);

    // The menu's entry starts the program where it was installed, and both files pass the
    // desktop's own checks.
    const fs::path entry = share / "applications" / (std::string(kAppId) + ".desktop");
    const std::string desktop = test::readFile(entry);
    EXPECT_NE(desktop.find("\nExec=" + XdgAutostartLoginItem::execArgument(program.string()) + "\n"),
              std::string::npos)
        << desktop;
    EXPECT_NE(desktop.find("\nStartupNotify=false\n"), std::string::npos) << desktop;
    EXPECT_EQ(runToEnd("desktop-file-validate", {q(entry)}, &output), 0) << output.toStdString();
    EXPECT_EQ(
        runToEnd("appstreamcli",
                 {"validate", "--no-net", q(share / "metainfo" / (std::string(kAppId) + ".metainfo.xml"))},
                 &output),
        0)
        << output.toStdString();

    test::XServer x;
    test::TemporaryFolder home;
    if (!x.isRunning() || !x.startWindowManager(home.path()))
        GTEST_SKIP() << "no Xvfb or openbox";
    test::AppOnX app(program, x, home.path());
#ifndef NDEBUG
    // Debug builds say where the program found its resources.
    EXPECT_TRUE(test::waitUntil(
        [&] {
            return app.errors().find("with resources in " + (share / "velquist").string()) !=
                   std::string::npos;
        },
        20s))
        << app.errors();
#endif
    ASSERT_TRUE(
        test::waitUntil([&] { return fs::exists(home.path() / ".local/share/Velquist/notch.sock"); }, 20s))
        << app.errors();

    // Launch at login writes what the running program reports as itself: the installed program.
    const fs::path running = fs::read_symlink("/proc/" + std::to_string(app.process().processId()) + "/exe");
    EXPECT_EQ(running, program);
    const fs::path autostart = XdgAutostartLoginItem::entryIn(home.path());
    XdgAutostartLoginItem loginItem(running, autostart);
    ASSERT_TRUE(loginItem.enable().ok());
    const std::string login = test::readFile(autostart);
    EXPECT_NE(login.find("\nExec=" + XdgAutostartLoginItem::execArgument(program.string()) + "\n"),
              std::string::npos)
        << login;

    ::kill(static_cast<pid_t>(app.process().processId()), SIGTERM);
    EXPECT_TRUE(app.process().waitForFinished(10'000));
    EXPECT_EQ(app.process().exitCode(), 0);
}
