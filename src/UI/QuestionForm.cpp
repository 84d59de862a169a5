#include "UI/QuestionForm.h"

#include "Core/DisplayText.h"
#include "UI/Kit/AuroraStyle.h"
#include "UI/Kit/OptionRowButton.h"
#include "UI/Kit/PrimaryCapsule.h"
#include "UI/Kit/SecondaryCapsule.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace velquist {

namespace {

constexpr std::size_t kLabelCharacters = 300;
constexpr std::size_t kDetailCharacters = 600;
constexpr std::size_t kSectionCharacters = 200;

} // namespace

QuestionForm::QuestionForm(const AgentInquiry& inquiry, const QColor& signal, Send send, Jump jump,
                           QWidget* parent)
    : QWidget(parent), m_inquiry(inquiry), m_send(std::move(send)), m_selections(inquiry.questions.size())
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    for (std::size_t q = 0; q < m_inquiry.questions.size(); ++q) {
        const AgentQuestion& question = m_inquiry.questions[q];
        auto* block = new QVBoxLayout;
        block->setSpacing(0); // option rows keep the 5 pt between them as room for their glow
        if (const auto label = sectionLabel(m_inquiry, q)) {
            auto* section = new QLabel(this);
            section->setTextFormat(Qt::PlainText);
            section->setText(DisplayText::clean(*label, kSectionCharacters).toUpper());
            QFont font = AuroraStyle::font(9, QFont::DemiBold);
            font.setLetterSpacing(QFont::AbsoluteSpacing, 1.3);
            section->setFont(font);
            section->setWordWrap(true);
            QPalette palette = section->palette();
            palette.setColor(QPalette::WindowText, AuroraStyle::sectionLabel());
            section->setPalette(palette);
            section->setContentsMargins(3, 0, 3, 3);
            block->addWidget(section);
        }
        std::vector<OptionRowButton*> buttons;
        const int count = std::min<int>(kMaxOptions, int(question.options.size()));
        for (int o = 0; o < count; ++o) {
            const QuestionOption& option = question.options[std::size_t(o)];
            auto* button = new OptionRowButton(
                o + 1, DisplayText::clean(option.label, kLabelCharacters),
                option.detail ? DisplayText::clean(*option.detail, kDetailCharacters) : QString(),
                option.detail.has_value(), question.multiSelect, this);
            button->setSignal(signal);
            const bool multi = question.multiSelect;
            connect(button, &QAbstractButton::clicked, this,
                    [this, q, o, multi] { select(int(q), o, multi); });
            block->addWidget(button);
            buttons.push_back(button);
        }
        m_options.push_back(std::move(buttons));
        layout->addLayout(block);
    }

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(7);
    buttons->setContentsMargins(0, 0, 0, 0);
    if (!answersAtOnce()) {
        m_submit =
            new PrimaryCapsule(QStringLiteral("Submit"), QStringLiteral("paperplane.fill"), signal, this);
        m_submitDisabled =
            new SecondaryCapsule(QStringLiteral("Submit"), QStringLiteral("paperplane.fill"), false, this);
        connect(m_submit, &QAbstractButton::clicked, this, &QuestionForm::submit);
        buttons->addWidget(m_submit);
        buttons->addWidget(m_submitDisabled);
    }
    m_jump =
        new SecondaryCapsule(QStringLiteral("Jump"), QStringLiteral("arrow.right.circle.fill"), true, this);
    // Unlike the card's own Jump, this one leaves the session unread.
    connect(m_jump, &QAbstractButton::clicked, this, [jump = std::move(jump)] {
        if (jump)
            jump();
    });
    buttons->addWidget(m_jump);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    refresh();
}

void QuestionForm::setSignal(const QColor& signal)
{
    for (const auto& row : m_options)
        for (OptionRowButton* button : row)
            button->setSignal(signal);
    if (m_submit)
        m_submit->setSignal(signal);
}

bool QuestionForm::answersAtOnce() const
{
    return m_inquiry.questions.size() == 1 && !m_inquiry.questions.front().multiSelect;
}

std::optional<std::string> QuestionForm::sectionLabel(const AgentInquiry& inquiry, std::size_t questionIndex)
{
    if (questionIndex >= inquiry.questions.size())
        return std::nullopt;
    const AgentQuestion& question = inquiry.questions[questionIndex];
    if (question.header && !question.header->empty())
        return question.header;
    if (inquiry.questions.size() >= 2)
        return question.question;
    return std::nullopt;
}

std::optional<std::vector<std::vector<int>>>
QuestionForm::answerLists(const std::vector<std::set<int>>& selections)
{
    std::vector<std::vector<int>> lists;
    for (const std::set<int>& picks : selections) {
        if (picks.empty())
            return std::nullopt;
        lists.emplace_back(picks.begin(), picks.end());
    }
    return lists;
}

void QuestionForm::select(int questionIndex, int optionIndex, bool multiSelect)
{
    if (questionIndex < 0 || std::size_t(questionIndex) >= m_selections.size())
        return;
    std::set<int>& picks = m_selections[std::size_t(questionIndex)];
    if (multiSelect) {
        if (!picks.erase(optionIndex))
            picks.insert(optionIndex);
    } else {
        picks = {optionIndex};
    }
    refresh();
    if (answersAtOnce())
        submit();
}

void QuestionForm::submit()
{
    const auto lists = answerLists(m_selections);
    if (!lists || !m_send)
        return;
    m_send(ControlAction::answer(*lists));
}

void QuestionForm::refresh()
{
    for (std::size_t q = 0; q < m_options.size(); ++q)
        for (std::size_t o = 0; o < m_options[q].size(); ++o)
            m_options[q][o]->setSelected(m_selections[q].contains(int(o)));
    if (m_submit) {
        const bool ready = answerLists(m_selections).has_value();
        m_submit->setVisible(ready);
        m_submitDisabled->setVisible(!ready);
    }
}

OptionRowButton* QuestionForm::optionButton(int questionIndex, int optionIndex) const
{
    if (questionIndex < 0 || std::size_t(questionIndex) >= m_options.size())
        return nullptr;
    const auto& row = m_options[std::size_t(questionIndex)];
    if (optionIndex < 0 || std::size_t(optionIndex) >= row.size())
        return nullptr;
    return row[std::size_t(optionIndex)];
}

QAbstractButton* QuestionForm::submitButton() const
{
    if (!m_submit)
        return nullptr;
    return answerLists(m_selections) ? static_cast<QAbstractButton*>(m_submit) : m_submitDisabled;
}

QAbstractButton* QuestionForm::jumpButton() const
{
    return m_jump;
}

} // namespace velquist
