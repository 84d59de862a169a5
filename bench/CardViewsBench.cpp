// What agent text costs the session cards at its worst: parsing a long plan and a line of unpaired
// markers, and laying out and painting a diff and a tool's details holding hostile text. The views
// are handed what intake makes of a tool call holding that text (commands and edit sides cut to
// 4,000 characters, written content to 8,000, plans to 20,000, every edit and option of the call
// kept), since no view ever sees more; a plan card shows the hostile text followed by a plan of
// 2,000 steps. Prints the figures and their ratio to the targets (a frame's budget for one
// view).

#include "BenchReport.h"
#include "Core/AgentInquiry.h"
#include "Core/DisplayText.h"
#include "Core/PlanMarkdown.h"
#include "Core/ToolDetail.h"
#include "UI/DiffView.h"
#include "UI/PlanCard.h"
#include "UI/ToolDetailView.h"
#include "support/HostileTexts.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

using namespace velquist;

namespace {

constexpr double kTargetParseMs = 16.0;
constexpr double kTargetRenderMs = 16.0;
constexpr int kWidth = 380;

double millisecondsOf(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

// A view made afresh, laid out at the card's width as the list places it, shown and painted: the
// median of a few runs, so another program's burst does not pass for the view's cost.
double renderMs(const std::function<std::unique_ptr<QWidget>()>& make)
{
    std::vector<double> runs;
    for (int run = 0; run < 3; ++run) {
        const std::unique_ptr<QWidget> widget = make();
        runs.push_back(millisecondsOf([&] {
            widget->setAttribute(Qt::WA_DontShowOnScreen);
            const int height =
                widget->hasHeightForWidth() ? widget->heightForWidth(kWidth) : widget->sizeHint().height();
            widget->resize(kWidth, std::max(height, 1));
            widget->show();
            QApplication::processEvents();
            QImage image(widget->size(), QImage::Format_ARGB32_Premultiplied);
            widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        }));
    }
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    std::string plan;
    for (int i = 0; i < 2000; ++i)
        plan += "- step " + std::to_string(i) + " with **bold** and `code`\n";
    const double planMs = millisecondsOf([&] { PlanMarkdown::blocks(plan); });
    std::string markers;
    for (int i = 0; i < 5000; ++i)
        markers += "**a ";
    const double markersMs =
        std::max(millisecondsOf([&] { PlanMarkdown::inlineRuns(markers); }),
                 millisecondsOf([] { PlanMarkdown::inlineRuns(std::string(20000, '[')); }));

    double worstRender = 0;
    // A running application has its fonts loaded: one ordinary card first, not counted.
    renderMs([] {
        return std::make_unique<ToolDetailView>(ToolDetail::Bash{"make test", std::nullopt, false},
                                                QColor(255, 149, 0), "/tmp");
    });
    const auto texts = test::hostileTexts();
    for (std::size_t index = 0; index < texts.size(); ++index) {
        const std::string& text = texts[index];
        const std::string name = "hostile text " + std::to_string(index + 1);
        // Edits and options as an agent would send them; intake cuts the texts. The question and
        // the labels go back to the agent whole, so intake refuses ones past their bounds rather
        // than cutting them: those are sent at their bounds.
        nlohmann::json edits = nlohmann::json::array();
        nlohmann::json options = nlohmann::json::array();
        for (int i = 0; i < 50; ++i) {
            edits.push_back({{"old_string", text}, {"new_string", text}});
            options.push_back(
                {{"label", text.substr(0, AgentQuestion::kMaxLabelCharacters)}, {"description", text}});
        }
        const nlohmann::json question{{"question", text.substr(0, AgentQuestion::kMaxQuestionCharacters)},
                                      {"options", options}};
        const ToolDetail details[] = {
            ToolDetail::parse("Bash", {{"command", text}}),
            ToolDetail::parse("MultiEdit", {{"file_path", text}, {"edits", edits}}),
            ToolDetail::parse("Write", {{"file_path", "/tmp/out.txt"}, {"content", text}}),
            ToolDetail::parse("AskUserQuestion", {{"questions", {question}}}),
        };
        const auto* edit = details[1].as<ToolDetail::Edit>();
        const double diffMs = renderMs([&] { return std::make_unique<DiffView>(edit->hunks.front()); });
        std::printf("diff, %s: %.1f ms\n", name.c_str(), diffMs);
        worstRender = std::max(worstRender, diffMs);
        for (const ToolDetail& detail : details) {
            const double viewMs = renderMs(
                [&] { return std::make_unique<ToolDetailView>(detail, QColor(255, 149, 0), "/tmp"); });
            std::printf("%s, %s: %.1f ms\n", DisplayText::clean(detail.title(), 12).toStdString().c_str(),
                        name.c_str(), viewMs);
            worstRender = std::max(worstRender, viewMs);
        }
        // The plan an agent asks to approve, as intake keeps it, in its own card.
        const ToolDetail planned = ToolDetail::parse("ExitPlanMode", {{"plan", text + "\n" + plan}});
        const std::string& kept = planned.as<ToolDetail::Plan>()->text;
        const double planCardMs = renderMs([&] {
            return std::make_unique<PlanCard>(
                PlanMarkdown::blocks(kept), QColor(255, 149, 0), [](const ControlAction&) {}, [] {});
        });
        std::printf("plan card, %s: %.1f ms\n", name.c_str(), planCardMs);
        worstRender = std::max(worstRender, planCardMs);
    }

    bench::row("cards: plan of 2,000 steps parsed", planMs, "ms", kTargetParseMs, false);
    bench::row("cards: line of 20,000 unpaired markers parsed", markersMs, "ms", kTargetParseMs, false);
    bench::row("cards: worst hostile view laid out and painted", worstRender, "ms", kTargetRenderMs, false);
    return 0;
}
