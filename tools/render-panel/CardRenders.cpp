// The pieces of a session card: tool details by kind, diffs, subagents, the accent, the elapsed
// pill, the question form and the plan card.

#include "RenderRegistry.h"

#include "Core/PlanMarkdown.h"
#include "Core/QtScheduler.h"
#include "UI/CardFrame.h"
#include "UI/DiffView.h"
#include "UI/Kit/AuroraStyle.h"
#include "UI/Kit/ElapsedText.h"
#include "UI/Kit/Palette.h"
#include "UI/Kit/ViewTicker.h"
#include "UI/NotchTextField.h"
#include "UI/PlanCard.h"
#include "UI/QuestionForm.h"
#include "UI/SubagentList.h"
#include "UI/ToolDetailView.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QVBoxLayout>

namespace velquist::render {
namespace {

constexpr int kCardWidth = 400;

QColor orange()
{
    return AuroraStyle::systemOrange();
}
QColor blue()
{
    return Palette::signalWaiting();
}

// Lets the tool detail's look at a write target arrive before the picture is taken.
void settle(ToolDetailView& view)
{
    QElapsedTimer timer;
    timer.start();
    while (!view.riskNote() && timer.elapsed() < 1000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

void tool(RenderSink& sink, const QString& state, const ToolDetail& detail, const QColor& accent = orange())
{
    ToolDetailView view(detail, accent, "/");
    view.setFixedWidth(kCardWidth);
    if (detail.as<ToolDetail::Write>())
        settle(view);
    sink.widget(state, view,
                QSize(kCardWidth, view.heightForWidth(kCardWidth) > 0 ? view.heightForWidth(kCardWidth)
                                                                      : view.sizeHint().height()));
}

AgentInquiry inquiry()
{
    return AgentInquiry{{AgentQuestion{"Which database should the cache use?",
                                       {{"SQLite", "Small and embedded, one file on disk"},
                                        {"Postgres", std::nullopt},
                                        {"Keep flat files", "No new dependency"}},
                                       "Storage",
                                       false},
                         AgentQuestion{"Which tests should run?",
                                       {{"Unit", std::nullopt}, {"Integration", "Needs the mock server"}},
                                       std::nullopt,
                                       true}}};
}

std::string hostile()
{
    return "\x1b[1;31mred\x1b[0m " + std::string(600, 'w') +
           " \u05E9\u05DC\u05D5\u05DD \u202Egnp.exe z\u0336\u0336\u0336";
}

const RenderRegistration tools("tool-detail", [](const RenderContext&, RenderSink& sink) {
    tool(sink, "bash", ToolDetail::Bash{"npm run build && npm test", "Build and test", false});
    tool(sink, "bash-risky-background",
         ToolDetail::Bash{"sudo rm -rf /tmp/build && make -j8 install", {}, true});
    std::string forty;
    for (int i = 0; i < 40; ++i)
        forty += "echo step " + std::to_string(i) + "\n";
    tool(sink, "bash-long", ToolDetail::Bash{forty, {}, false});
    tool(sink, "edit-four-hunks",
         ToolDetail::Edit{"/home/user/projects/velquist/src/UI/a/very/long/path/to/the/edited/SessionRow.cpp",
                          {{"let a = 1\nlet b = 2", "let a = 10\nlet b = 20\n"},
                           {"", "inserted()"},
                           {"crlf\r\nlines", "one"},
                           {"x", "y"}}});
    tool(sink, "write-over-existing", ToolDetail::Write{"/etc/hostname", "new-host\n", 2});
    tool(sink, "question", ToolDetail::Question{inquiry()}, blue());
    tool(sink, "plan", ToolDetail::Plan{"# Plan\n\n1. Read the store\n2. Move saving to a worker"});
    tool(sink, "read", ToolDetail::Read{"/home/user/projects/velquist/README.md"});
    tool(sink, "search-path", ToolDetail::Search{"Search", "TODO", "/home/user/projects/velquist/src"});
    tool(sink, "search-pattern", ToolDetail::Search{"Find", "**/*.cpp", std::nullopt});
    tool(sink, "web", ToolDetail::Web{"Fetch", "https://example.org/docs/api"});
    tool(sink, "agent", ToolDetail::Agent{"explorer", "Find the settings code"});
    tool(sink, "mcp",
         ToolDetail::Other{"mcp__tracker__create_issue",
                           "Create issue",
                           {{"title", "The panel opens on the wrong screen after a monitor is unplugged"},
                            {"labels", "bug, ui"}}});
    tool(sink, "hostile", ToolDetail::Bash{hostile(), {}, false});
});

const RenderRegistration diffs("diff", [](const RenderContext&, RenderSink& sink) {
    const std::pair<const char*, EditHunk> hunks[] = {
        {"one-word", {"old", "new"}},
        {"insertion", {"", "first\nsecond"}},
        {"crlf", {"a\r\nb\r\n", "c"}},
        {"twenty-lines-and-a-long-one",
         {"1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n13\n14\n15\n16\n17\n18\n19\n20",
          std::string(300, 'x') + " end of a very long line"}},
    };
    for (const auto& [state, hunk] : hunks) {
        DiffView view(hunk);
        sink.widget(state, view, QSize(kCardWidth, view.sizeHint().height()));
    }
});

const RenderRegistration subagents("subagents", [](const RenderContext& context, RenderSink& sink) {
    const auto run = [&context](std::string id, std::string name, std::optional<std::string> activity) {
        return SubagentRun{std::move(id), std::move(name), std::move(activity), context.clock.now()};
    };
    const std::vector<SubagentRun> five{
        run("1", "explorer", "Reading src/Core/Session.cpp"), run("2", "test-writer", std::nullopt),
        run("3", "reviewer", "Checking the whole diff of a change that is far too long to fit on the line"),
        run("4", "x", "y"), run("5", "x", "y")};
    const std::tuple<const char*, std::vector<SubagentRun>, int> cases[] = {
        {"done-only", {}, 2},
        {"two-running-one-done", {five[0], five[1]}, 1},
        {"five-running-two-done", five, 2}};
    for (const auto& [state, runs, done] : cases) {
        SubagentList list;
        list.setSubagents(runs, done);
        sink.widget(state, list, QSize(kCardWidth, list.sizeHint().height()));
    }
});

const RenderRegistration accents("card-accent", [](const RenderContext& context, RenderSink& sink) {
    QtScheduler scheduler;
    ViewTicker ticker(scheduler, context.clock);
    const std::pair<const char*, CardAccent> cases[] = {
        {"none", CardAccent{}},
        {"attention", CardAccent{orange(), false}},
        {"done-unread", CardAccent{AuroraStyle::systemGreen(), false}},
    };
    for (const auto& [state, accent] : cases) {
        CardFrame card(ticker);
        auto* layout = new QVBoxLayout(&card);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* elapsed = new ElapsedText(context.clock.now() - std::chrono::minutes(75), ticker, &card);
        layout->addWidget(elapsed, 0, Qt::AlignRight);
        layout->addWidget(new DiffView({"old line", "new line"}, &card));
        card.setAccent(accent);
        sink.widget(state, card, QSize(kCardWidth + 2 * CardFrame::kGlowMargin, card.sizeHint().height()));
    }
    for (const double level : {0.5, 1.0}) {
        sink.painted(QStringLiteral("breathing-%1").arg(int(level * 100)), QSize(kCardWidth, 90),
                     [level](QPainter& painter) {
                         const CardAccent accent{AuroraStyle::systemGreen(), true};
                         const QRectF card(CardFrame::kGlowMargin, CardFrame::kGlowMargin,
                                           kCardWidth - 2 * CardFrame::kGlowMargin,
                                           90 - 2 * CardFrame::kGlowMargin);
                         accent.paintBehind(painter, card, level);
                         accent.paintOutline(painter, card, level);
                     });
    }
});

const RenderRegistration elapsed("elapsed", [](const RenderContext& context, RenderSink& sink) {
    QtScheduler scheduler;
    ViewTicker ticker(scheduler, context.clock);
    using namespace std::chrono;
    const std::pair<const char*, minutes> cases[] = {
        {"minutes", minutes(4)}, {"hours", minutes(125)}, {"days", minutes(3 * 1440 + 5 * 60)}};
    for (const auto& [state, ago] : cases) {
        ElapsedText pill(context.clock.now() - ago, ticker);
        sink.widget(state, pill);
    }
});

const RenderRegistration forms("question-form", [](const RenderContext&, RenderSink& sink) {
    QuestionForm two(
        inquiry(), blue(), [](const ControlAction&) {}, [] {});
    two.select(0, 0, false);
    sink.widget("two-questions-first-answered", two, QSize(kCardWidth, two.sizeHint().height()));
    two.select(1, 1, true);
    sink.widget("two-questions-answered", two, QSize(kCardWidth, two.sizeHint().height()));
    QuestionForm single(
        AgentInquiry{{inquiry().questions[0]}}, blue(), [](const ControlAction&) {}, [] {});
    sink.widget("single-choice", single, QSize(kCardWidth, single.sizeHint().height()));
});

const RenderRegistration plans("plan-card", [](const RenderContext&, RenderSink& sink) {
    const std::string plan =
        "# Move saving off the main thread\n\nThe store writes **sessions.json** on the main "
        "thread; a slow disk stalls the panel.\n\n## Steps\n1. Add a `SaveQueue`\n2. Post the "
        "snapshot to it\n10. Check the crash-safety test\n- keep the one-second debounce\n\n"
        "```cpp\nqueue.post(snapshot); // **verbatim**\n```";
    PlanCard card(
        PlanMarkdown::blocks(plan), orange(), [](const ControlAction&) {}, [] {});
    sink.widget("buttons", card, QSize(kCardWidth, card.sizeHint().height()));
    card.requestChangesButton()->click();
    card.feedbackField()->setText("Keep the debounce at two seconds");
    sink.widget("feedback", card, QSize(kCardWidth, card.sizeHint().height()));
    PlanCard codeFirst(
        PlanMarkdown::blocks("```\nmake test\nctest --output-on-failure\n```\nThen ship it."), orange(),
        [](const ControlAction&) {}, [] {});
    sink.widget("code-first", codeFirst, QSize(kCardWidth, codeFirst.sizeHint().height()));
    std::string longPlan;
    for (int i = 1; i <= 2000; ++i)
        longPlan += std::to_string(i) + ". step\n";
    PlanCard tall(
        PlanMarkdown::blocks(longPlan), orange(), [](const ControlAction&) {}, [] {});
    sink.widget("two-thousand-lines", tall, QSize(kCardWidth, tall.sizeHint().height()));
});

} // namespace
} // namespace velquist::render
