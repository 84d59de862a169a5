#include "UI/SessionRow.h"

#include "Actions/ActionDispatcher.h"
#include "Core/SessionStore.h"
#include "Core/SilenceRuleStore.h"
#include "UI/DemoPressSource.h"
#include "UI/Kit/MetaPill.h"
#include "UI/Kit/OptionRowButton.h"
#include "UI/Kit/SplitCapsule.h"
#include "UI/NotchTextField.h"
#include "UI/PlanCard.h"
#include "UI/QuestionForm.h"
#include "UI/SessionRowFactory.h"

#include "support/ManualScheduler.h"
#include "support/Prompts.h"
#include "support/base/TemporaryFolder.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace velquist;
using test::question;
using test::request;

namespace {

class RecordingResolver final : public DecisionResolver
{
  public:
    bool resolveDecision(const ControlAction& action, const std::string& sessionID) override
    {
        calls.emplace_back(sessionID, action);
        return true;
    }
    std::vector<std::pair<std::string, ControlAction>> calls;
};

// The introduction's press on its demonstration's Allow, set by the test.
class HeldDemoPress final : public DemoPressSource
{
  public:
    bool isPressingAllow() const override { return m_pressing; }
    void set(bool pressing)
    {
        m_pressing = pressing;
        Q_EMIT isPressingAllowChanged();
    }

  private:
    bool m_pressing = false;
};

// Notes the sessions the dispatcher asked to bring to the front.
struct RecordingJumper final : TerminalJumper
{
    void jump(const Session& session) override { jumps.push_back(session.id); }
    std::vector<std::string> jumps;
    bool terminalMissing = false;
};

class SessionRowTest : public ::testing::Test
{
  protected:
    SessionRowTest()
        : silence(folder.path() / "silence-rules.json"),
          store(clock, clock, folder.path() / "sessions.json", &silence),
          dispatcher(clock, {.jumper = &jumper}), ticker(clock, clock)
    {
        dispatcher.registerResolver(AgentKind::claudeCode, &resolver);
        dispatcher.registerResolver(AgentKind::gemini, &resolver);
    }

    Session make(SessionStatus status, AgentKind agent = AgentKind::claudeCode)
    {
        Session session;
        session.id = "claude:abc";
        session.agent = agent;
        session.cwd = "/home/u/proj";
        session.status = std::move(status);
        session.startedAt = session.updatedAt = clock.now();
        session.terminal.ownerPID = ::getpid();
        return session;
    }

    // Puts the session in the store and builds its row.
    SessionRow& show(const Session& session)
    {
        store.upsert(session);
        SessionRowContext context{dispatcher,
                                  store,
                                  ticker,
                                  [this](const Session& s, std::function<void()> noTerminal) {
                                      jumps.push_back(s.id);
                                      if (terminalMissing)
                                          noTerminal();
                                  },
                                  nullptr,
                                  nullptr,
                                  [this] { return reduceMotion; }};
        context.demoPress = &press;
        row = std::make_unique<SessionRow>(SessionCard::of(*store.session(session.id)), context);
        row->resize(440, row->sizeHint().height());
        row->show();
        return *row;
    }

    void setStatus(SessionStatus status)
    {
        store.update("claude:abc", [&](Session& s) { s.status = status; });
        row->setCard(SessionCard::of(*store.session("claude:abc")));
    }

    // The dispatcher hands decisions on from the event loop.
    std::vector<ControlAction> sent()
    {
        QApplication::processEvents();
        QApplication::processEvents();
        std::vector<ControlAction> actions;
        for (const auto& [id, action] : resolver.calls)
            actions.push_back(action);
        return actions;
    }

    test::TemporaryFolder folder;
    test::ManualScheduler clock;
    SilenceRuleStore silence;
    SessionStore store;
    RecordingJumper jumper;
    std::vector<std::string>& fallbackJumps = jumper.jumps;
    ActionDispatcher dispatcher;
    ViewTicker ticker;
    RecordingResolver resolver;
    std::vector<std::string> jumps;
    bool terminalMissing = false;
    std::vector<bool> textEntry;
    HeldDemoPress press;
    bool reduceMotion = false;
    std::unique_ptr<SessionRow> row;
};

} // namespace

TEST_F(SessionRowTest, AllowDenyAndTheAllowMenu)
{
    SessionRow& card =
        show(make(SessionStatus::NeedsPermission{request(ToolDetail::Bash{"make", {}, false})}));
    ASSERT_NE(card.allowControl(), nullptr);
    EXPECT_EQ(card.allowControl()->mainButton()->text(), "Allow");
    QMenu* menu = card.allowControl()->menu();
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions()[0]->text(), "Allow for this session");

    QTest::mouseClick(card.allowControl()->mainButton(), Qt::LeftButton);
    EXPECT_EQ(sent(), std::vector<ControlAction>{ControlAction::approve(GrantScope::once)});
    menu->actions()[0]->trigger();
    QTest::mouseClick(card.denyButton(), Qt::LeftButton);
    EXPECT_EQ(sent(), (std::vector<ControlAction>{ControlAction::approve(GrantScope::once),
                                                  ControlAction::approve(GrantScope::session),
                                                  ControlAction::deny()}));
    EXPECT_EQ(card.denyButton()->text(), "Deny");
    EXPECT_NE(card.toolDetail(), nullptr);

    QTest::mouseClick(card.jumpButton(), Qt::LeftButton);
    EXPECT_EQ(jumps, std::vector<std::string>{"claude:abc"});
}

TEST_F(SessionRowTest, OnlyTheDemonstrationsAllowShowsTheIntroductionsPress)
{
    struct Case
    {
        const char* what;
        std::string id;
        bool pressing;
        double amount;
    };
    const Case cases[] = {
        {"demonstration, pressing", "intro-demo", true, 1},
        {"demonstration, not pressing", "intro-demo", false, 0},
        {"a real session while the demonstration is pressed", "claude:abc", true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        press.set(false);
        Session session = make(SessionStatus::NeedsPermission{request(std::nullopt)});
        session.id = c.id;
        SessionRow& card = show(session);
        press.set(c.pressing);
        clock.advance(std::chrono::seconds(1));
        ASSERT_NE(card.allowControl(), nullptr);
        EXPECT_DOUBLE_EQ(card.allowControl()->pressAmount(), c.amount);
        EXPECT_FALSE(ticker.isRunning(ViewTicker::Period::frame)) << "settled: no frame clock";
    }
}

TEST_F(SessionRowTest, TheDemonstrationsAllowSpringsInAndOutAndDrawsThePress)
{
    Session session = make(SessionStatus::NeedsPermission{request(std::nullopt)});
    session.id = "intro-demo";
    SplitCapsule* allow = show(session).allowControl();
    ASSERT_NE(allow, nullptr);
    const auto picture = [&] {
        QImage image(allow->size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        allow->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    };
    const QImage released = picture();

    press.set(true);
    EXPECT_EQ(allow->pressAmount(), 0) << "the spring starts where the capsule is";
    clock.advance(std::chrono::milliseconds(96));
    EXPECT_GT(allow->pressAmount(), 0.2);
    EXPECT_LT(allow->pressAmount(), 0.95);
    clock.advance(std::chrono::seconds(1));
    EXPECT_EQ(allow->pressAmount(), 1);

    // Pressed, the capsule is drawn smaller about its centre and brighter.
    const QImage pressed = picture();
    const QPoint leftEnd(1, pressed.height() / 2);
    EXPECT_GT(qAlpha(released.pixel(leftEnd)), 200);
    EXPECT_LT(qAlpha(pressed.pixel(leftEnd)), 60);
    const QPoint fill(allow->menuButton()->x() + 3, 5);
    const auto lightness = [](QRgb pixel) { return qRed(pixel) + qGreen(pixel) + qBlue(pixel); };
    EXPECT_GT(lightness(pressed.pixel(fill)), lightness(released.pixel(fill)) + 60);

    press.set(false);
    clock.advance(std::chrono::seconds(1));
    EXPECT_EQ(allow->pressAmount(), 0);

    // Asked for less motion, the press shows at once.
    reduceMotion = true;
    press.set(true);
    EXPECT_EQ(allow->pressAmount(), 1);
}

TEST_F(SessionRowTest, ARowBuiltMidPressShowsItPressed)
{
    press.set(true);
    Session session = make(SessionStatus::NeedsPermission{request(std::nullopt)});
    session.id = "intro-demo";
    EXPECT_EQ(show(session).allowControl()->pressAmount(), 1);
}

TEST_F(SessionRowTest, AlwaysAllowOnlyWhenTheRequestOffersIt)
{
    SessionRow& card = show(make(SessionStatus::NeedsPermission{request(std::nullopt, true)}));
    QMenu* menu = card.allowControl()->menu();
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions()[1]->text(), "Always allow");
    menu->actions()[1]->trigger();
    EXPECT_EQ(sent(), std::vector<ControlAction>{ControlAction::approve(GrantScope::always)});
    EXPECT_EQ(card.toolDetail(), nullptr) << "a request without a tool detail shows none";
}

TEST_F(SessionRowTest, ControlsFollowTheAgentsCapabilities)
{
    SessionRow& detected =
        show(make(SessionStatus::NeedsPermission{request(std::nullopt)}, AgentKind::detected));
    EXPECT_EQ(detected.denyButton(), nullptr);
    EXPECT_EQ(detected.allowControl(), nullptr);
    EXPECT_NE(detected.jumpButton(), nullptr);

    AgentInquiry inquiry{{question("Pick", 1, false)}};
    SessionRow& gemini = show(make(SessionStatus::WaitingForInput{inquiry}, AgentKind::gemini));
    EXPECT_EQ(gemini.questionForm(), nullptr) << "an agent that cannot take answers";
    ASSERT_NE(gemini.jumpToAnswerButton(), nullptr);
    QTest::mouseClick(gemini.jumpToAnswerButton(), Qt::LeftButton);
    EXPECT_EQ(jumps.size(), 1u);

    AgentInquiry noOptions{{question("Free text?", 0, false)}};
    SessionRow& claude = show(make(SessionStatus::WaitingForInput{noOptions}));
    EXPECT_EQ(claude.questionForm(), nullptr);
    EXPECT_NE(claude.jumpToAnswerButton(), nullptr);
}

TEST_F(SessionRowTest, QuestionsAreAnsweredThroughTheDispatcher)
{
    SessionRow& single =
        show(make(SessionStatus::WaitingForInput{AgentInquiry{{question("Pick", 3, false)}}}));
    ASSERT_NE(single.questionForm(), nullptr);
    QTest::mouseClick(single.questionForm()->optionButton(0, 2), Qt::LeftButton);
    EXPECT_EQ(sent(), std::vector<ControlAction>{ControlAction::answer({{2}})});

    resolver.calls.clear();
    SessionRow& multi = show(make(SessionStatus::WaitingForInput{AgentInquiry{{question("Pick", 3, true)}}}));
    QTest::mouseClick(multi.questionForm()->optionButton(0, 2), Qt::LeftButton);
    QTest::mouseClick(multi.questionForm()->optionButton(0, 0), Qt::LeftButton);
    QTest::mouseClick(multi.questionForm()->submitButton(), Qt::LeftButton);
    EXPECT_EQ(sent(), std::vector<ControlAction>{ControlAction::answer({{0, 2}})});
}

TEST_F(SessionRowTest, APlanIsApprovedOrSentBackWithFeedback)
{
    SessionRow& card =
        show(make(SessionStatus::NeedsPermission{request(ToolDetail::Plan{"# Plan\n- step"})}));
    ASSERT_NE(card.planCard(), nullptr);
    EXPECT_EQ(card.allowControl(), nullptr) << "the plan card brings its own controls";
    EXPECT_EQ(card.denyButton(), nullptr);
    QTest::mouseClick(card.planCard()->approveControl()->mainButton(), Qt::LeftButton);
    QTest::mouseClick(card.planCard()->requestChangesButton(), Qt::LeftButton);
    QTest::keyClicks(card.planCard()->feedbackField(), "smaller steps");
    QTest::keyClick(card.planCard()->feedbackField(), Qt::Key_Return);
    EXPECT_EQ(sent(), (std::vector<ControlAction>{ControlAction::approvePlan(std::nullopt),
                                                  ControlAction::denyWithMessage("smaller steps")}));
    EXPECT_EQ(card.planCard()->feedbackField(), nullptr);
}

TEST_F(SessionRowTest, AnOpenFormSurvivesAnUpdateOfItsSession)
{
    const AgentInquiry inquiry{{question("First", 2, false), question("Second", 3, true)}};
    SessionRow& card = show(make(SessionStatus::WaitingForInput{inquiry}));
    QuestionForm* form = card.questionForm();
    QTest::mouseClick(form->optionButton(0, 1), Qt::LeftButton);

    // The agent's next event changes other fields of the session, not its question.
    store.update("claude:abc", [](Session& s) {
        s.context = ContextUsage{120000, 200000, "model"};
        s.lastActivity = "still waiting";
    });
    card.setCard(SessionCard::of(*store.session("claude:abc")));
    EXPECT_EQ(card.questionForm(), form);
    EXPECT_TRUE(form->optionButton(0, 1)->isSelected());

    // A new inquiry starts afresh.
    setStatus(SessionStatus::WaitingForInput{
        AgentInquiry{{question("Other", 2, false), question("More", 2, false)}}});
    ASSERT_NE(card.questionForm(), nullptr);
    EXPECT_FALSE(card.questionForm()->optionButton(0, 1)->isSelected());
}

TEST_F(SessionRowTest, AnOpenFeedbackFieldSurvivesAnUpdate)
{
    SessionRow& card = show(make(SessionStatus::NeedsPermission{request(ToolDetail::Plan{"Plan"})}));
    QTest::mouseClick(card.planCard()->requestChangesButton(), Qt::LeftButton);
    QTest::keyClicks(card.planCard()->feedbackField(), "half typed");
    store.update("claude:abc", [](Session& s) { s.subagentsDone = 3; });
    card.setCard(SessionCard::of(*store.session("claude:abc")));
    ASSERT_NE(card.planCard(), nullptr);
    EXPECT_TRUE(card.planCard()->isWritingFeedback());
    EXPECT_EQ(card.planCard()->feedbackField()->text(), "half typed");

    // The request settles: the card goes, and its field with it at once.
    QPointer<NotchTextField> field = card.planCard()->feedbackField();
    setStatus(SessionStatus::Working{"Editing"});
    EXPECT_EQ(card.planCard(), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(field.isNull());
}

TEST_F(SessionRowTest, ARequestSettledElsewhereGetsNoSecondAnswer)
{
    SessionRow& card = show(make(SessionStatus::NeedsPermission{request(std::nullopt)}));
    QAbstractButton* allow = card.allowControl()->mainButton();
    // Answered in the terminal: the store has moved on before the row was told.
    store.update("claude:abc", [](Session& s) { s.status = SessionStatus::Working{"Running make"}; });
    QTest::mouseClick(allow, Qt::LeftButton);
    EXPECT_TRUE(sent().empty());
    EXPECT_EQ(card.allowControl(), nullptr) << "the row shows the store's state";
    EXPECT_EQ(card.statusText(), "Running make");
}

TEST_F(SessionRowTest, ATapMarksReadAndJumps)
{
    Session done = make(SessionStatus::Done{"All tests pass"});
    SessionRow& card = show(done);
    ASSERT_NE(card.markReadButton(), nullptr);
    EXPECT_TRUE(card.accent().color.has_value());
    QTest::mouseClick(card.markReadButton(), Qt::LeftButton);
    EXPECT_TRUE(store.session("claude:abc")->doneSeenAt.has_value());
    EXPECT_TRUE(jumps.empty()) << "Mark read does not jump";

    card.setCard(SessionCard::of(*store.session("claude:abc")));
    EXPECT_EQ(card.markReadButton(), nullptr);
    EXPECT_FALSE(card.accent().color.has_value());
    QTest::mouseClick(&card, Qt::LeftButton, {}, card.cardRect().center().toPoint());
    EXPECT_EQ(jumps, std::vector<std::string>{"claude:abc"});
}

TEST_F(SessionRowTest, AJumpThatFindsNoTerminalSaysSoUntilTheSessionMoves)
{
    Session working = make(SessionStatus::Working{"Thinking…"});
    working.terminal.appName = "XTerm";
    working.terminal.bundleID = "debian-xterm";
    SessionRow& card = show(working);
    const auto pills = card.findChildren<MetaPill*>();
    const auto pill =
        std::find_if(pills.begin(), pills.end(), [](MetaPill* p) { return p->text() == "XTerm"; });
    ASSERT_NE(pill, pills.end());
    EXPECT_EQ((*pill)->toolTip(), "debian-xterm") << "the id a jump rule names";

    terminalMissing = true;
    QTest::mouseClick(&card, Qt::LeftButton, {}, card.cardRect().center().toPoint());
    EXPECT_EQ(jumps, std::vector<std::string>{"claude:abc"});
    EXPECT_EQ(card.statusText(), SessionCardText::noTerminalText());
    // The same state again leaves the notice; a new one replaces it.
    card.setCard(SessionCard::of(*store.session("claude:abc")));
    EXPECT_EQ(card.statusText(), SessionCardText::noTerminalText());
    store.update("claude:abc", [](Session& s) { s.status = SessionStatus::Working{"Running make"}; });
    card.setCard(SessionCard::of(*store.session("claude:abc")));
    EXPECT_EQ(card.statusText(), "Running make");
}

TEST_F(SessionRowTest, SilenceMenuAddsRulesLikeThisSession)
{
    Session session = make(SessionStatus::Idle{});
    session.firstPrompt = "\n\n  fix the login page and then some more words here  \nmore";
    SessionRow& card = show(session);
    std::unique_ptr<QMenu> menu(card.makeSilenceMenu(nullptr));
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions()[0]->text(), "Hide sessions in this folder");
    EXPECT_EQ(
        menu->actions()[1]->text(),
        QString::fromUtf8("Hide sessions starting with \u201Cfix the login page and then some\u2026\u201D"));
    menu->actions()[0]->trigger();
    menu->actions()[1]->trigger();
    const auto rules = silence.customRules();
    ASSERT_EQ(rules.size(), 2u);
    EXPECT_EQ(rules[0].field, SilenceRule::Field::directory);
    EXPECT_EQ(rules[0].match, SilenceRule::Match::prefix);
    EXPECT_EQ(rules[0].pattern, "/home/u/proj");
    EXPECT_EQ(rules[1].field, SilenceRule::Field::prompt);
    EXPECT_EQ(rules[1].pattern, "fix the login page and then some more words here");

    Session bare = make(SessionStatus::Idle{});
    std::unique_ptr<QMenu> one(show(bare).makeSilenceMenu(nullptr));
    EXPECT_EQ(one->actions().size(), 1);
}

TEST_F(SessionRowTest, HostileAgentTextStaysBounded)
{
    std::string summary(100 * 1024, 's');
    Session session = make(SessionStatus::NeedsPermission{
        PermissionRequest{"Bash", summary, ToolDetail::Bash{summary, summary, true}, true}});
    session.cwd = "/" + std::string(4000, 'd');
    session.terminal.appName = std::string(4000, 'a');
    session.detectedName = "\x1b[31mred\x1b[0m";
    const std::string longLine(4000, 'n');
    for (int i = 0; i < 500; ++i)
        session.runningSubagents.push_back(SubagentRun{std::to_string(i), longLine, longLine, clock.now()});
    SessionRow& card = show(session);
    const int height = card.heightForWidth(440) > 0 ? card.heightForWidth(440) : card.sizeHint().height();
    EXPECT_LT(height, 1500);
    EXPECT_LE(card.statusText().size(), 1200);

    // A done summary shows on one line.
    setStatus(SessionStatus::Done{summary});
    EXPECT_LE(card.statusText().size(), 200);
}

TEST_F(SessionRowTest, TheListsRowsComeFromTheFactoryAndUpdateInPlace)
{
    Session session = make(SessionStatus::Working{"Reading"});
    store.upsert(session);
    SessionRowFactory factory(SessionRowContext{dispatcher, store, ticker, {}, nullptr, nullptr, {}});
    std::unique_ptr<QWidget> widget(factory.makeRow(SessionCard::of(session)));
    auto* made = qobject_cast<SessionRow*>(widget.get());
    ASSERT_NE(made, nullptr);
    session.status = SessionStatus::Working{"Writing"};
    factory.updateRow(widget.get(), SessionCard::of(session));
    EXPECT_EQ(made->statusText(), "Writing");
    factory.setRowPanelVisible(widget.get(), false);
    EXPECT_FALSE(made->isPanelVisible());
}

TEST_F(SessionRowTest, NothingAnimatesWhileThePanelIsOffScreen)
{
    struct Case
    {
        const char* name;
        SessionStatus status;
    };
    const Case cases[] = {
        {"a working session's icon turns", SessionStatus::Working{}},
        {"an unread finished session breathes", SessionStatus::Done{}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        show(make(c.status));
        (void)row->grab();
        EXPECT_TRUE(row->holdsPictures());
        EXPECT_TRUE(ticker.isRunning(ViewTicker::Period::step));
        row->setPanelVisible(false);
        EXPECT_FALSE(ticker.isRunning(ViewTicker::Period::step));
        EXPECT_FALSE(row->accent().breathes);
        EXPECT_FALSE(row->holdsPictures()) << "a card out of view keeps no pictures";
        row->setPanelVisible(true);
        EXPECT_TRUE(ticker.isRunning(ViewTicker::Period::step));
    }
}
