#pragma once

#include "Actions/ControlAction.h"
#include "Core/AgentInquiry.h"

#include <QColor>

#include <QWidget>
#include <functional>
#include <optional>
#include <set>
#include <vector>

class QAbstractButton;
class QLabel;

namespace velquist {

class OptionRowButton;
class PrimaryCapsule;
class SecondaryCapsule;

// The answer form of an agent's multiple-choice questions: each question's first four options as
// rows to pick, then Submit (unless a single single-choice question, which a click answers) and
// Jump. The picks live in the form: a new session value with the same inquiry keeps them.
class QuestionForm : public QWidget
{
    Q_OBJECT
  public:
    static constexpr int kMaxOptions = 4;
    using Send = std::function<void(const ControlAction&)>;
    using Jump = std::function<void()>;

    // `signal` is the session's signal colour; `send` takes the answer to the dispatcher; `jump`
    // brings the terminal forward.
    QuestionForm(const AgentInquiry& inquiry, const QColor& signal, Send send, Jump jump,
                 QWidget* parent = nullptr);

    // The session's colour changed (a request waiting long turns red-orange); picks stay.
    void setSignal(const QColor& signal);
    const AgentInquiry& inquiry() const { return m_inquiry; }

    // A click on an option: toggles it (multiple choice) or makes it the one pick; a lone
    // single-choice question is answered at once.
    void select(int questionIndex, int optionIndex, bool multiSelect);
    // Sends the picks when every question has one.
    void submit();
    const std::vector<std::set<int>>& selections() const { return m_selections; }

    // The label above a question: its header, else its text when there are several questions.
    static std::optional<std::string> sectionLabel(const AgentInquiry& inquiry, std::size_t questionIndex);
    // The answer lists (indices ascending) when every set has a pick.
    static std::optional<std::vector<std::vector<int>>>
    answerLists(const std::vector<std::set<int>>& selections);

    OptionRowButton* optionButton(int questionIndex, int optionIndex) const;
    QAbstractButton* submitButton() const; // the one shown, or none for a lone single-choice question
    QAbstractButton* jumpButton() const;

  private:
    void refresh();
    bool answersAtOnce() const;

    AgentInquiry m_inquiry;
    Send m_send;
    std::vector<std::set<int>> m_selections;
    std::vector<std::vector<OptionRowButton*>> m_options;
    PrimaryCapsule* m_submit = nullptr;
    SecondaryCapsule* m_submitDisabled = nullptr;
    SecondaryCapsule* m_jump = nullptr;
};

} // namespace velquist
