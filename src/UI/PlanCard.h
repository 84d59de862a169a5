#pragma once

#include "Actions/ControlAction.h"
#include "Core/PlanMarkdown.h"

#include <QColor>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

class QAbstractButton;
class QBoxLayout;
class QTextDocument;
class QTextEdit;

namespace velquist {

class AttentionCoordinator;
class FocusReturn;
class NotchTextField;
class PrimaryCapsule;
class SecondaryCapsule;
class SplitCapsule;

// A plan the agent asks the user to approve: the plan in a scrolling well, then Request changes,
// Approve (or, from its menu, approve and let the agent accept edits itself) and Jump. Request
// changes swaps the buttons for a feedback field with Cancel and Send.
class PlanCard : public QWidget
{
    Q_OBJECT
  public:
    static constexpr int kLeadingIndent = 31;
    static constexpr int kMaxWellHeight = 260;
    // A plan longer than this many blocks shows its start and a marker.
    static constexpr std::size_t kMaxBlocks = 1500;

    using Send = std::function<void(const ControlAction&)>;
    using Jump = std::function<void()>;

    // The feedback field exists only while it is open; it takes the keyboard and keeps the panel
    // open through `coordinator` and `focusReturn` (either may be null).
    PlanCard(std::vector<PlanBlock> blocks, const QColor& signal, Send send, Jump jump,
             AttentionCoordinator* coordinator = nullptr, FocusReturn* focusReturn = nullptr,
             QWidget* parent = nullptr);
    ~PlanCard() override;

    void setSignal(const QColor& signal);
    // The card is going away: an open feedback field closes (its text is dropped) at once rather
    // than when the card is deleted.
    void dismiss();

    bool isWritingFeedback() const { return m_writing; }
    QString feedback() const;
    // Trims the feedback; an empty one does nothing, else it is sent as a denial with a message.
    void send();

    QTextEdit* planWell() const { return m_well; }
    QAbstractButton* requestChangesButton() const;
    SplitCapsule* approveControl() const { return m_approve; }
    QAbstractButton* jumpButton() const;
    // The open feedback field, or null while the buttons show.
    NotchTextField* feedbackField() const { return m_field; }
    QAbstractButton* cancelButton() const;
    QAbstractButton* sendButton() const;

  private:
    void setWriting(bool writing);
    // The first `count` blocks into `doc`, and a line counting the rest when there are more.
    static void buildDocument(QTextDocument* doc, const std::vector<PlanBlock>& blocks, std::size_t count);
    void fitWell();

    Send m_send;
    AttentionCoordinator* m_coordinator;
    FocusReturn* m_focusReturn;
    bool m_writing = false;
    QTextEdit* m_well;
    QWidget* m_buttonRow;
    QWidget* m_feedbackRow;
    SecondaryCapsule* m_requestChanges;
    SplitCapsule* m_approve;
    SecondaryCapsule* m_jump;
    QBoxLayout* m_feedbackLayout;
    NotchTextField* m_field = nullptr;
    QColor m_signal;
    SecondaryCapsule* m_cancel;
    PrimaryCapsule* m_sendButton;
};

} // namespace velquist
