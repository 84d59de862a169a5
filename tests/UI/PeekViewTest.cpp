#include "UI/PeekView.h"
#include "UI/Kit/ElapsedText.h"
#include "UI/Kit/MetaPill.h"
#include "UI/SessionMark.h"
#include "UI/SessionSignal.h"
#include "support/Prompts.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

using namespace velquist;
using namespace std::chrono_literals;

// A question or request with only the text the peek shows.
namespace {

AgentQuestion question(std::string text)
{
    return test::question(std::move(text), 1);
}

PermissionRequest request(std::string summary, std::optional<ToolDetail> tool = std::nullopt)
{
    return test::request(std::move(tool), false, std::move(summary));
}

} // namespace

TEST(PeekViewTest, EachKindOfAttentionShowsItsLine)
{
    const Clock::WallTime now = Clock::WallTime(std::chrono::seconds(1'800'000'000));
    struct Case
    {
        const char* name;
        std::string cwd;
        SessionStatus status;
        std::optional<std::chrono::seconds> waited;
        QString title;
        QString subtitle;
        bool elapsed;
    };
    const Case cases[] = {
        {"permission", "/home/u/work/api", SessionStatus::NeedsPermission{request("Run make")}, 30s, "api",
         "Run make", false},
        {"permission without a summary", "/srv/site/", SessionStatus::NeedsPermission{request("")}, 61s,
         "site", "", true},
        {"plan", "/home/u/app",
         SessionStatus::NeedsPermission{request("Review the plan", ToolDetail::Plan{"# Steps\n1. Build"})},
         5min, "app", "Review the plan", true},
        {"question", "/home/u/app",
         SessionStatus::WaitingForInput{AgentInquiry{{question("Which branch?"), question("Squash?")}}}, 60s,
         "app", "Which branch?", false},
        {"question without questions", "unknown", SessionStatus::WaitingForInput{AgentInquiry{}},
         std::nullopt, "No folder", "Needs you", false},
        {"done", "/home/u/app", SessionStatus::Done{"Built"}, 2h, "app", "Needs you", true},
        {"working", "/home/u/app", SessionStatus::Working{"Reading"}, std::nullopt, "app", "Needs you",
         false},
        {"idle", "/", SessionStatus::Idle{}, 59s, "/", "Needs you", false},
        {"ended", "/home/u/app", SessionStatus::Ended{}, 61s, "app", "Needs you", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Session session;
        session.id = "claude:peek";
        session.agent = AgentKind::gemini;
        session.cwd = c.cwd;
        session.status = c.status;
        if (c.waited)
            session.attentionSince = now - *c.waited;

        PeekView view(session, now);
        view.resize(view.sizeHint());
        view.setAttribute(Qt::WA_DontShowOnScreen);
        view.show();
        EXPECT_EQ(PeekView::title(session), c.title);
        EXPECT_EQ(PeekView::subtitle(session), c.subtitle);
        EXPECT_EQ(PeekView::showsElapsed(session, now), c.elapsed);
        EXPECT_EQ(view.width(), 760);

        const auto* mark = view.findChild<SessionMark*>();
        ASSERT_NE(mark, nullptr);
        EXPECT_EQ(mark->kind(), AgentKind::gemini);
        EXPECT_EQ(mark->pip(), SessionSignal::color(session, now));
        EXPECT_FALSE(mark->isSpinning());
        EXPECT_EQ(mark->x(), 16);

        const auto* pill = view.findChild<MetaPill*>();
        ASSERT_NE(pill, nullptr);
        EXPECT_EQ(pill->isVisible(), c.elapsed);
        if (c.elapsed) {
            EXPECT_EQ(pill->text().toStdString(), ElapsedText::format(*session.attentionSince, now));
            EXPECT_EQ(pill->geometry().right() + 1, 760 - 16) << "at the trailing edge";
        }
    }
}

TEST(PeekViewTest, LongTextsStayOnOneLineBeforeThePill)
{
    const Clock::WallTime now = Clock::WallTime(std::chrono::seconds(1'800'000'000));
    Session session;
    session.id = "claude:long";
    session.cwd = "/home/u/" + std::string(300, 'f');
    session.status = SessionStatus::NeedsPermission{request(std::string(400, 's') + "\nsecond line")};
    session.attentionSince = now - 10min;
    PeekView view(session, now);
    const QSize size = view.sizeHint();
    view.resize(size);
    view.setAttribute(Qt::WA_DontShowOnScreen);
    view.show();
    EXPECT_LT(size.height(), 70) << "one title line and one subtitle line";

    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    QPainter painter(&image);
    view.render(&painter, {}, {}, QWidget::DrawWindowBackground);
    painter.end();
    // No text reaches into the gap before the pill.
    const int pillLeft = view.findChild<MetaPill*>()->x();
    for (int y = 0; y < size.height(); ++y)
        for (int x = pillLeft - 8; x < pillLeft; ++x)
            ASSERT_EQ(image.pixelColor(x, y), QColor(Qt::black)) << x << "," << y;
}
