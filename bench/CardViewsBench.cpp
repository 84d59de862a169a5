// What agent text costs the session cards at its worst: parsing a long plan and a line of unpaired
// markers, and laying out and painting a diff and a tool's details holding hostile text. Prints the
// figures and their ratio to the targets (a frame's budget for one view).

#include "BenchReport.h"
#include "Core/AgentInquiry.h"
#include "Core/PlanMarkdown.h"
#include "Core/ToolDetail.h"
#include "UI/DiffView.h"
#include "UI/ToolDetailView.h"
#include "support/HostileTexts.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>

#include <algorithm>
#include <cstdio>
#include <functional>
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

double renderMs(QWidget& widget)
{
    return millisecondsOf([&] {
        widget.setAttribute(Qt::WA_DontShowOnScreen);
        widget.show();
        const int height =
            widget.hasHeightForWidth() ? widget.heightForWidth(kWidth) : widget.sizeHint().height();
        widget.resize(kWidth, std::max(height, 1));
        QApplication::processEvents();
        QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
        widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    });
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
    const auto texts = test::hostileTexts();
    for (std::size_t index = 0; index < texts.size(); ++index) {
        const std::string& text = texts[index];
        const std::string name = "hostile text " + std::to_string(index + 1);
        DiffView diff({text, text});
        const double diffMs = renderMs(diff);
        std::printf("diff, %s: %.1f ms\n", name.c_str(), diffMs);
        worstRender = std::max(worstRender, diffMs);
        std::vector<EditHunk> hunks(50, EditHunk{text, text});
        std::vector<QuestionOption> options(50, QuestionOption{text, text});
        const ToolDetail details[] = {
            ToolDetail::Bash{text, std::nullopt, true},
            ToolDetail::Edit{text, hunks},
            ToolDetail::Question{AgentInquiry{{AgentQuestion{text, options, std::nullopt, false}}}},
        };
        for (const ToolDetail& detail : details) {
            ToolDetailView view(detail, QColor(255, 149, 0), "/tmp");
            const double viewMs = renderMs(view);
            std::printf("%s, %s: %.1f ms\n", detail.title().substr(0, 12).c_str(), name.c_str(), viewMs);
            worstRender = std::max(worstRender, viewMs);
        }
    }

    bench::row("cards: plan of 2,000 steps parsed", planMs, "ms", kTargetParseMs, false);
    bench::row("cards: line of 20,000 unpaired markers parsed", markersMs, "ms", kTargetParseMs, false);
    bench::row("cards: worst hostile view laid out and painted", worstRender, "ms", kTargetRenderMs, false);
    return 0;
}
