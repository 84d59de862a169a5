#include "UI/CardFrame.h"
#include "UI/DiffView.h"
#include "UI/SubagentList.h"
#include "UI/ToolDetailView.h"

#include "support/HostileTexts.h"
#include "support/ManualScheduler.h"
#include "support/WaitUntil.h"

#include <QApplication>
#include <QImage>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <fstream>
#include <gtest/gtest.h>

using namespace velquist;

using test::hostileTexts;

namespace {

// Lays `widget` out at a card's width and paints it.
void renderAt(QWidget& widget, int width, QImage* out = nullptr)
{
    widget.setAttribute(Qt::WA_DontShowOnScreen);
    widget.show();
    const int height = widget.hasHeightForWidth() ? widget.heightForWidth(width) : widget.sizeHint().height();
    widget.resize(width, std::max(height, 1));
    QApplication::processEvents();
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    if (out)
        *out = image;
}

constexpr int kWidth = 380;

} // namespace

TEST(CardViewsRenderTest, DiffViewBoundsHostileHunks)
{
    for (const std::string& text : hostileTexts()) {
        DiffView view({text, text});
        renderAt(view, kWidth);
        EXPECT_LE(view.shownRows().size(), 2 * DiffView::kMaxLinesPerSide);
        EXPECT_LE(view.height(), 16 * 30);
    }
}

TEST(CardViewsRenderTest, SubagentListBoundsHostileRuns)
{
    for (const std::string& text : hostileTexts()) {
        std::vector<SubagentRun> runs;
        for (int i = 0; i < 500; ++i)
            runs.push_back(SubagentRun{std::to_string(i), text, text, Clock::WallTime{}});
        SubagentList list;
        list.setSubagents(runs, 40);
        renderAt(list, kWidth);
        EXPECT_EQ(list.rows().size(), 3u);
        EXPECT_EQ(list.tally(), QString::fromUtf8("+497 more \u00b7 40 of 540 done"));
        EXPECT_LE(list.height(), 4 * 30);
        EXPECT_LE(list.rows()[0].name.size(), qsizetype(SubagentList::kMaxNameCharacters) * 2);
    }
    SubagentList empty;
    empty.setSubagents({}, 0);
    EXPECT_TRUE(empty.isHidden());
    empty.setSubagents({}, 2);
    EXPECT_FALSE(empty.isHidden());
    EXPECT_EQ(empty.tally(), "2 subagents done");
    EXPECT_FALSE(empty.hasRule());
}

TEST(CardViewsRenderTest, ToolDetailViewBoundsHostileCalls)
{
    for (const std::string& text : hostileTexts()) {
        std::vector<EditHunk> hunks(50, EditHunk{text, text});
        std::vector<ToolParameter> parameters(30, ToolParameter{text, text});
        std::vector<QuestionOption> options(50, QuestionOption{text, text});
        const ToolDetail details[] = {
            ToolDetail::Bash{text, std::nullopt, true},
            ToolDetail::Edit{text, hunks},
            ToolDetail::Write{text, text, 2000},
            ToolDetail::Plan{text},
            ToolDetail::Other{"mcp__" + text, text, parameters},
            ToolDetail::Question{AgentInquiry{{AgentQuestion{text, options, std::nullopt, false}}}},
        };
        for (const ToolDetail& detail : details) {
            ToolDetailView view(detail, QColor(255, 149, 0), "/tmp");
            renderAt(view, kWidth);
            // Wells are capped; at most three diffs of sixteen rows, eight options of a few lines.
            EXPECT_LE(view.height(), 1500) << detail.title().substr(0, 20);
        }
    }
}

TEST(CardViewsRenderTest, CommandWellIsAsTallAsItsTextUpToItsCap)
{
    ToolDetailView oneLine(ToolDetail::Bash{"ls", std::nullopt, false}, Qt::white, "/");
    std::string forty;
    for (int i = 0; i < 40; ++i)
        forty += "echo " + std::to_string(i) + "\n";
    ToolDetailView fortyLines(ToolDetail::Bash{forty, std::nullopt, false}, Qt::white, "/");
    renderAt(oneLine, kWidth);
    renderAt(fortyLines, kWidth);
    EXPECT_LT(oneLine.height(), 40);
    EXPECT_GT(oneLine.height(), 18);
    EXPECT_EQ(fortyLines.height(), 138);
}

TEST(CardViewsRenderTest, RiskNoteOfAWriteIsLookedUpOffTheMainThread)
{
    QTemporaryDir folder;
    {
        std::ofstream file(folder.filePath("notes.txt").toStdString());
        file << "a\nb\nc\n";
    }
    ToolDetailView view(ToolDetail::Write{"notes.txt", "new", 1}, Qt::white, folder.path().toStdString());
    EXPECT_FALSE(view.riskNote()) << "not known before the look-up answers";
    ASSERT_TRUE(test::waitUntil([&] { return view.riskNote().has_value(); }));
    EXPECT_EQ(*view.riskNote(), "Overwrites an existing 4 line file");

    ToolDetailView bash(ToolDetail::Bash{"sudo ls", std::nullopt, false}, Qt::white, "/");
    EXPECT_EQ(bash.riskNote(), "Runs as root");
}

TEST(CardViewsRenderTest, AccentDrawsOnlyTheOutlineWithoutAColour)
{
    test::ManualScheduler scheduler;
    ViewTicker ticker(scheduler, scheduler);
    CardFrame plain(ticker);
    CardFrame lit(ticker);
    lit.setAccent(CardAccent{QColor(Qt::green), false});
    QImage plainImage;
    QImage litImage;
    plain.setFixedSize(200, 100);
    lit.setFixedSize(200, 100);
    renderAt(plain, 200, &plainImage);
    renderAt(lit, 200, &litImage);
    // The glow shows past the card's edge only with a colour.
    const QPoint outside(CardFrame::kGlowMargin / 2, 50);
    EXPECT_EQ(plainImage.pixelColor(outside), QColor(Qt::black));
    EXPECT_GT(litImage.pixelColor(outside).green(), 0);
    // The outline shows on both.
    const QPoint edge(CardFrame::kGlowMargin, 50);
    EXPECT_GT(plainImage.pixelColor(edge).red(), 0);
}
