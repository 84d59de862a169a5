#pragma once

#include "Actions/ControlAction.h"
#include "Core/SessionCard.h"
#include "UI/CardFrame.h"

#include <QColor>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QAbstractButton;
class QLabel;
class QMenu;
class QVBoxLayout;

namespace velquist {

class ActionDispatcher;
class AttentionCoordinator;
class FocusReturn;
class ContextIndicator;
class DemoPressSource;
class ElapsedText;
class ElidedLabel;
class MetaPill;
class PlanCard;
class QuestionForm;
class SecondaryCapsule;
class SessionMark;
class SessionStore;
class SplitCapsule;
class SpringValue;
class SubagentList;
class ToolDetailView;

// What a session row reaches outside itself. The dispatcher, store and ticker must outlive the row.
struct SessionRowContext
{
    ActionDispatcher& dispatcher;
    SessionStore& store;
    ViewTicker& ticker;
    // Brings a session's terminal forward, calling `noTerminal` (on the main thread, maybe later)
    // when the session's terminal cannot be found; unset does nothing.
    std::function<void(const Session&, std::function<void()> noTerminal)> jump;
    // What the plan card's feedback field needs to take the keyboard and keep the panel open;
    // either may be null.
    AttentionCoordinator* coordinator = nullptr;
    FocusReturn* focusReturn = nullptr;
    // The desktop asks for less motion: no breathing accent, and the demonstration's press is
    // shown without its spring.
    std::function<bool()> reduceMotion;
    // The introduction, whose press on the demonstration's Allow the demonstration's row draws;
    // null: never pressed. Must outlive the row.
    const DemoPressSource* demoPress = nullptr;
};

// The card of one session in the expanded list: its mark, folder, pills, elapsed time, context
// gauge, status line and subagents, and what it waits for: the tool detail with Deny, Allow (and
// its menu) and Jump, a plan card, a question form, "Jump to answer" or "Mark read". A tap on the
// card marks it read and jumps to the terminal; its context menu hides sessions like it.
//
// Updated in place from each new value of its card (keyed by session id): while the request it shows
// stays the same, a half-picked form or an open feedback field survives. Every decision goes
// through the dispatcher, and only for the request the store still holds: a control of a request
// settled elsewhere sends nothing and the row shows the store's state.
class SessionRow : public CardFrame
{
    Q_OBJECT
  public:
    SessionRow(const SessionCard& card, const SessionRowContext& context, QWidget* parent = nullptr);
    ~SessionRow() override;

    void setCard(const SessionCard& card);
    const SessionCard& card() const { return m_card; }
    const Session& session() const { return m_card.session; }
    // Whether the list holding the row is on screen (the breathing accent and the working icon's
    // turn run only then).
    void setPanelVisible(bool visible);
    bool isPanelVisible() const { return m_panelVisible; }

    // What the card offers below its status line.
    using Content = SessionCardText::Content;

    // The row's controls, for the list's keyboard handling and for tests; null when not shown.
    QAbstractButton* denyButton() const;
    SplitCapsule* allowControl() const { return m_allow; }
    QAbstractButton* jumpButton() const;
    QAbstractButton* jumpToAnswerButton() const;
    QAbstractButton* markReadButton() const;
    QuestionForm* questionForm() const { return m_form; }
    PlanCard* planCard() const { return m_plan; }
    ToolDetailView* toolDetail() const { return m_toolDetail; }
    QString statusText() const;
    // The silence menu as the card's context menu shows it.
    QMenu* makeSilenceMenu(QWidget* parent);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void refresh();
    void rebuildContent();
    void send(const ControlAction& action);
    void markReadAndJump();
    void jumpOnly();
    QColor signal() const;
    bool isDemo() const;
    // The demonstration's press as the introduction plays it, drawn on the Allow control.
    bool demoPressed() const;
    void followDemoPress(bool animated);

    SessionCard m_card;
    SessionRowContext m_context;
    bool m_panelVisible = true;
    bool m_pressed = false;
    // The last jump found no terminal: the status line says so.
    bool m_noTerminal = false;

    SessionMark* m_mark;
    ElidedLabel* m_title;
    MetaPill* m_demoPill;
    QWidget* m_shield;
    MetaPill* m_detectedPill;
    MetaPill* m_appPill;
    ContextIndicator* m_contextIndicator = nullptr;
    ElapsedText* m_elapsed;
    ElidedLabel* m_status;
    SubagentList* m_subagents;
    QVBoxLayout* m_contentLayout;
    QWidget* m_content = nullptr;
    Content m_shownContent = Content::none;
    // What the shown content was built for: a new request or inquiry rebuilds it.
    SessionStatus m_contentStatus;

    ToolDetailView* m_toolDetail = nullptr;
    SecondaryCapsule* m_deny = nullptr;
    SplitCapsule* m_allow = nullptr;
    // 0 to 1: how far the Allow control shows the demonstration's press.
    std::unique_ptr<SpringValue> m_demoPress;
    SecondaryCapsule* m_jump = nullptr;
    SecondaryCapsule* m_single = nullptr; // "Jump to answer" or "Mark read"
    QuestionForm* m_form = nullptr;
    PlanCard* m_plan = nullptr;
};

} // namespace velquist
