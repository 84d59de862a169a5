#include "Platform/Linux/LinuxProcessRunner.h"

#include "Shared/FileUtil.h"
#include "Shared/ProcessTree.h"

#include <QObject>
#include <QTest>
#include <QThread>
#include <QThreadPool>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>

using namespace velquist;
using namespace std::chrono_literals;
using Status = ProcessResult::Status;

namespace {

// Gone, or a zombie waiting for a parent that is not us.
bool isGoneOrDead(pid_t pid)
{
    // A process that ends while its file is read makes the read fail: that reads as empty too.
    const std::string text = FileUtil::read("/proc/" + std::to_string(pid) + "/stat").bytes;
    const auto close = text.rfind(')');
    return text.empty() || (close != std::string::npos && text.substr(close + 2, 1) == "Z");
}

bool eventually(const std::function<bool()>& condition)
{
    for (int i = 0; i < 500; ++i) {
        if (condition())
            return true;
        QThread::msleep(10);
    }
    return false;
}

} // namespace

TEST(LinuxProcessRunnerTest, RunsArgvAsGivenWithOutputOnlyFromStandardOutput)
{
    struct Case
    {
        const char* what;
        ProcessRequest request;
        Status status;
        int code;
        std::string output;
    };
    const Case cases[] = {
        {"arguments reach the program untouched",
         {"/usr/bin/printf", {"%s|", "a b", "$(id)", "'q';rm", "*"}},
         Status::exited,
         0,
         "a b|$(id)|'q';rm|*|"},
        {"standard error is discarded",
         {"/bin/sh", {"-c", "echo out; echo err >&2"}},
         Status::exited,
         0,
         "out\n"},
        {"standard input is the null device", {"/bin/cat", {}}, Status::exited, 0, ""},
        {"exit status", {"/bin/sh", {"-c", "echo partial; exit 3"}}, Status::exited, 3, "partial\n"},
        {"killed by a signal", {"/bin/sh", {"-c", "kill -TERM $$"}}, Status::signalled, SIGTERM, ""},
        {"bare names are looked up on PATH", {"true", {}}, Status::exited, 0, ""},
        {"a missing program", {"/nonexistent/program", {}}, Status::failedToStart, -1, ""},
        {"an empty program", {"", {}}, Status::failedToStart, -1, ""},
    };
    LinuxProcessRunner runner;
    for (const auto& c : cases) {
        const auto result = runner.run(c.request);
        EXPECT_EQ(result.status, c.status) << c.what;
        EXPECT_EQ(result.code, c.code) << c.what;
        EXPECT_EQ(result.output, c.output) << c.what;
        EXPECT_EQ(result.succeeded(), c.status == Status::exited && c.code == 0) << c.what;
    }
}

TEST(LinuxProcessRunnerTest, OutputPastTheLimitIsDrainedAndDropped)
{
    LinuxProcessRunner runner;
    ProcessRequest request{"/usr/bin/head", {"-c", "300000", "/dev/zero"}};
    request.outputLimit = 1000;
    const auto result = runner.run(request);
    EXPECT_TRUE(result.succeeded()) << int(result.status) << " " << result.code;
    EXPECT_EQ(result.output.size(), 1000u);
    EXPECT_TRUE(result.truncated);
}

TEST(LinuxProcessRunnerTest, TimeOutKillsTheWholeProcessGroup)
{
    LinuxProcessRunner runner;
    // The shell starts a child of its own, prints its pid, and hangs.
    const auto result = runner.run({"/bin/sh", {"-c", "sleep 60 & echo $!; sleep 60"}, 300ms});
    EXPECT_EQ(result.status, Status::timedOut);
    EXPECT_FALSE(result.succeeded());
    const pid_t grandchild = std::atoi(result.output.c_str());
    ASSERT_GT(grandchild, 1) << result.output;
    EXPECT_TRUE(eventually([&] { return isGoneOrDead(grandchild); }));
}

TEST(LinuxProcessRunnerTest, ABackgroundChildHoldingStandardOutputDoesNotHoldTheCaller)
{
    LinuxProcessRunner runner;
    const auto result = runner.run({"/bin/sh", {"-c", "sleep 60 & echo $!"}, 60s});
    EXPECT_EQ(result.status, Status::exited);
    EXPECT_EQ(result.code, 0);
    if (const pid_t leftover = std::atoi(result.output.c_str()); leftover > 1)
        ::kill(leftover, SIGKILL);
}

TEST(LinuxProcessRunnerTest, AsyncRunDeliversOnTheCallersThread)
{
    LinuxProcessRunner runner;
    QObject context;
    std::optional<ProcessResult> delivered;
    QThread* deliveredOn = nullptr;
    runner.runAsync({"/bin/echo", {"hello"}}, &context, [&](ProcessResult result) {
        delivered = std::move(result);
        deliveredOn = QThread::currentThread();
    });
    EXPECT_FALSE(delivered.has_value()); // never synchronously
    ASSERT_TRUE(QTest::qWaitFor([&] { return delivered.has_value(); }, 10000));
    EXPECT_EQ(delivered->output, "hello\n");
    EXPECT_EQ(deliveredOn, QThread::currentThread());
}

TEST(LinuxProcessRunnerTest, AsyncRunDropsTheResultWhenItsContextHasGone)
{
    LinuxProcessRunner runner;
    auto context = std::make_unique<QObject>();
    bool called = false;
    runner.runAsync({"/bin/sh", {"-c", "sleep 0.2"}}, context.get(), [&](ProcessResult) { called = true; });
    context.reset();
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_FALSE(called);
}
