#include "UI/SessionRow.h"

#include "Actions/ActionDispatcher.h"
#include "Core/DisplayText.h"
#include "Core/PlanMarkdown.h"
#include "Core/SessionCardText.h"
#include "Core/SessionStore.h"
#include "Core/ToolText.h"
#include "UI/ContextIndicator.h"
#include "UI/DemoPressSource.h"
#include "UI/Kit/AuroraStyle.h"
#include "UI/Kit/ElapsedText.h"
#include "UI/Kit/ElidedLabel.h"
#include "UI/Kit/Glyph.h"
#include "UI/Kit/MetaPill.h"
#include "UI/Kit/Palette.h"
#include "UI/Kit/SecondaryCapsule.h"
#include "UI/Kit/SplitCapsule.h"
#include "UI/Kit/SpringValue.h"
#include "UI/PlanCard.h"
#include "UI/QuestionForm.h"
#include "UI/SessionMark.h"
#include "UI/SessionSignal.h"
#include "UI/SilenceMenu.h"
#include "UI/SubagentList.h"
#include "UI/ToolDetailView.h"

#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QVBoxLayout>

namespace velquist {

namespace {

constexpr int kContentIndent = 31;
constexpr std::size_t kPillCharacters = 40;
constexpr std::size_t kStatusCharacters = 160;
// An attention text wraps in full; this bounds what a hostile one can make the card lay out.
constexpr std::size_t kAttentionStatusCharacters = 1200;
constexpr int kAttentionStatusLines = 40;
constexpr double kDemoPressResponse = 0.25;

// The green shield of a session whose requests are allowed without asking.
class ShieldMark : public QWidget
{
  public:
    explicit ShieldMark(QWidget* parent) : QWidget(parent)
    {
        setFixedSize(11, 11);
        setToolTip(QStringLiteral("Auto-approving this session"));
        setAccessibleName(QStringLiteral("Auto-approving this session"));
    }

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor green = AuroraStyle::systemGreen();
        green.setAlphaF(0.8f);
        Glyph::paint(painter, QRectF(rect()), QStringLiteral("checkmark.shield.fill"), green);
    }
};

void setLabelColour(QLabel* label, const QColor& colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

// The status line's colour for its tone.
QColor statusColour(SessionCardText::Tone tone)
{
    switch (tone) {
    case SessionCardText::Tone::permission:
        return AuroraStyle::systemOrange();
    case SessionCardText::Tone::waiting:
        return Palette::signalWaiting();
    case SessionCardText::Tone::quiet:
        break;
    }
    return Palette::secondary();
}

} // namespace

SessionRow::SessionRow(const SessionCard& card, const SessionRowContext& context, QWidget* parent)
    : CardFrame(context.ticker, parent), m_card(card), m_context(context)
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(6);

    auto* header = new QHBoxLayout;
    header->setSpacing(11);
    header->setAlignment(Qt::AlignTop);
    m_mark = new SessionMark(card.session.agent, std::nullopt, false, this, &context.ticker);
    header->addWidget(m_mark, 0, Qt::AlignTop);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(3);
    auto* titleRow = new QHBoxLayout;
    titleRow->setSpacing(7);
    m_title =
        new ElidedLabel(QString(), AuroraStyle::font(13.5, QFont::DemiBold), Palette::textBright(), 1, this);
    m_title->setElideMode(Qt::ElideRight);
    m_title->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_title->setMinimumWidth(40);
    titleRow->addWidget(m_title, 1);
    m_demoPill = new MetaPill(QStringLiteral("DEMO"), AuroraStyle::pillFill(), AuroraStyle::pillText(), this);
    titleRow->addWidget(m_demoPill);
    titleRow->addSpacing(8);
    m_shield = new ShieldMark(this);
    titleRow->addWidget(m_shield);
    m_detectedPill = new MetaPill(QString(), AuroraStyle::pillFill(), AuroraStyle::pillText(), this);
    titleRow->addWidget(m_detectedPill);
    m_appPill = new MetaPill(QString(), AuroraStyle::pillFill(), AuroraStyle::pillText(), this);
    titleRow->addWidget(m_appPill);
    m_contextIndicator = new ContextIndicator(ContextUsage{}, this);
    titleRow->addWidget(m_contextIndicator);
    m_elapsed = new ElapsedText(card.session.startedAt, context.ticker, this);
    titleRow->addWidget(m_elapsed);
    texts->addLayout(titleRow);

    m_status = new ElidedLabel(QString(), AuroraStyle::font(11.5), Palette::secondary(), 1, this);
    m_status->setElideMode(Qt::ElideRight);
    QSizePolicy statusPolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    statusPolicy.setHeightForWidth(true);
    m_status->setSizePolicy(statusPolicy);
    texts->addWidget(m_status);
    m_subagents = new SubagentList(this);
    texts->addWidget(m_subagents);
    header->addLayout(texts, 1);
    outer->addLayout(header);

    m_contentLayout = new QVBoxLayout;
    m_contentLayout->setContentsMargins(0, 0, 0, 0);
    outer->addLayout(m_contentLayout);

    // The press springs in and out like a finger on the control.
    m_demoPress = std::make_unique<SpringValue>(context.ticker, kDemoPressResponse, [this](double amount) {
        if (m_allow)
            m_allow->setPressAmount(amount);
    });
    if (context.demoPress)
        connect(context.demoPress, &DemoPressSource::isPressingAllowChanged, this,
                [this] { followDemoPress(true); });
    followDemoPress(false);

    setContextMenuPolicy(Qt::DefaultContextMenu);
    refresh();
}

SessionRow::~SessionRow() = default;

void SessionRow::setCard(const SessionCard& card)
{
    if (card == m_card)
        return;
    // A new state (an event came, a terminal was found) says more than the last failed jump.
    if (card.session.status != m_card.session.status || card.session.terminal != m_card.session.terminal)
        m_noTerminal = false;
    m_card = card;
    refresh();
}

void SessionRow::setPanelVisible(bool visible)
{
    if (visible == m_panelVisible)
        return;
    m_panelVisible = visible;
    // A card scrolled out of the list keeps no pictures, so memory follows the cards in view, not
    // every card scrolled past.
    if (!visible)
        dropPictures();
    refresh();
}

bool SessionRow::isDemo() const
{
    return m_card.session.id.starts_with("intro-");
}

bool SessionRow::demoPressed() const
{
    return isDemo() && m_context.demoPress && m_context.demoPress->isPressingAllow();
}

void SessionRow::followDemoPress(bool animated)
{
    const bool reduceMotion = m_context.reduceMotion && m_context.reduceMotion();
    m_demoPress->setTarget(demoPressed() ? 1 : 0, animated && !reduceMotion);
}

QColor SessionRow::signal() const
{
    return SessionSignal::color(m_card.session, m_context.ticker.clock().now());
}

void SessionRow::refresh()
{
    const QColor colour = signal();
    const bool attention = m_card.session.status.asksForUser();
    const bool unreadDone = m_card.session.status.is<SessionStatus::Done>() && !m_card.session.doneSeenAt;
    const bool reduceMotion = m_context.reduceMotion && m_context.reduceMotion();

    m_mark->setKind(m_card.session.agent);
    m_mark->setPip(colour);
    // Nobody sees a turning icon on a panel that is not exposed: it stays still until it is.
    m_mark->setSpinning(m_card.session.status.is<SessionStatus::Working>() && m_panelVisible);

    m_title->setFullText(m_card.title);
    setAccessibleName(m_card.title);
    m_demoPill->setVisible(isDemo());
    m_shield->setVisible(m_card.session.autoApprovePermissions);
    m_detectedPill->setVisible(m_card.session.detectedName.has_value());
    if (m_card.session.detectedName)
        m_detectedPill->setText(DisplayText::clean(*m_card.session.detectedName, kPillCharacters));
    m_appPill->setVisible(m_card.session.terminal.appName.has_value());
    if (m_card.session.terminal.appName)
        m_appPill->setText(DisplayText::clean(*m_card.session.terminal.appName, kPillCharacters));
    // The id is what a jump rule names the terminal by.
    m_appPill->setToolTip(m_card.session.terminal.bundleID
                              ? DisplayText::clean(*m_card.session.terminal.bundleID, 200)
                              : QString());
    m_contextIndicator->setVisible(m_card.session.context.has_value());
    if (m_card.session.context)
        m_contextIndicator->setUsage(*m_card.session.context);
    m_elapsed->setSince(m_card.session.startedAt);

    SessionCardText::StatusLine line = m_card.status;
    if (m_noTerminal && !attention)
        line = {SessionCardText::noTerminalText(), SessionCardText::Tone::quiet};
    // In attention the text wraps in full (within its bound); otherwise one line, cut at its end.
    m_status->setMaxLines(attention ? kAttentionStatusLines : 1);
    const QString text = DisplayText::clean(line.text.toStdString(),
                                            attention ? kAttentionStatusCharacters : kStatusCharacters);
    m_status->setFullText(text);
    m_status->setToolTip(attention ? QString() : text);
    setLabelColour(m_status, statusColour(line.tone));
    m_subagents->setSubagents(m_card.session.runningSubagents, m_card.session.subagentsDone);

    CardAccent accent;
    if (attention)
        accent.color = colour;
    else if (unreadDone)
        accent.color = SessionSignal::doneUnread();
    accent.breathes = unreadDone && !reduceMotion && m_panelVisible;
    setAccent(accent);

    rebuildContent();
}

void SessionRow::rebuildContent()
{
    const Content wanted = m_card.content;
    const QColor colour = signal();
    if (wanted == m_shownContent && m_card.session.status == m_contentStatus) {
        // Same request: keep the controls (and what the user has picked or typed), follow the colour.
        if (m_allow)
            m_allow->setSignal(colour);
        if (m_form)
            m_form->setSignal(colour);
        if (m_plan)
            m_plan->setSignal(colour);
        if (m_toolDetail) {
            if (const auto* permission = m_card.session.status.as<SessionStatus::NeedsPermission>();
                permission && permission->request.tool)
                m_toolDetail->setDetail(*permission->request.tool, colour);
        }
        return;
    }
    if (m_plan)
        m_plan->dismiss();
    if (m_content) {
        // Deleted later: the press that led here may still be running in one of its buttons.
        m_contentLayout->removeWidget(m_content);
        m_content->hide();
        m_content->deleteLater();
    }
    m_content = nullptr;
    m_toolDetail = nullptr;
    m_deny = nullptr;
    m_allow = nullptr;
    m_jump = nullptr;
    m_single = nullptr;
    m_form = nullptr;
    m_plan = nullptr;
    m_shownContent = wanted;
    m_contentStatus = m_card.session.status;

    const auto indented = [this](QWidget* inner) {
        auto* box = new QWidget(this);
        auto* layout = new QVBoxLayout(box);
        layout->setContentsMargins(kContentIndent, 0, 0, 0);
        layout->setSpacing(6);
        inner->setParent(box);
        layout->addWidget(inner);
        return box;
    };

    switch (wanted) {
    case Content::none:
        return;
    case Content::plan: {
        const auto* permission = m_card.session.status.as<SessionStatus::NeedsPermission>();
        const std::string& text = permission->request.tool->as<ToolDetail::Plan>()->text;
        m_plan = new PlanCard(
            PlanMarkdown::blocks(text), colour, [this](const ControlAction& action) { send(action); },
            [this] { jumpOnly(); }, m_context.coordinator, m_context.focusReturn, this);
        m_content = m_plan;
        break;
    }
    case Content::permission: {
        const auto* permission = m_card.session.status.as<SessionStatus::NeedsPermission>();
        auto* block = new QWidget(this);
        auto* layout = new QVBoxLayout(block);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(6);
        if (permission->request.tool) {
            m_toolDetail = new ToolDetailView(*permission->request.tool, colour, m_card.session.cwd, block);
            layout->addWidget(m_toolDetail);
        }
        auto* buttons = new QHBoxLayout;
        buttons->setSpacing(7);
        const AgentCapabilities capabilities = m_card.session.capabilities();
        if (capabilities.canDeny) {
            m_deny = new SecondaryCapsule(QStringLiteral("Deny"), QStringLiteral("xmark"), true, block);
            connect(m_deny, &QAbstractButton::clicked, this, [this] { send(ControlAction::deny()); });
            buttons->addWidget(m_deny);
        }
        if (capabilities.canApprove) {
            std::vector<SplitCapsule::Item> items{{QStringLiteral("Allow for this session"), [this] {
                                                       send(ControlAction::approve(GrantScope::session));
                                                   }}};
            if (permission->request.supportsAlwaysAllow)
                items.push_back({QStringLiteral("Always allow"),
                                 [this] { send(ControlAction::approve(GrantScope::always)); }});
            SplitCapsule::Look look;
            look.dividerHeight = 16;
            look.dividerColour = Palette::capsuleDivider();
            m_allow = new SplitCapsule(
                QStringLiteral("Allow"), colour, [this] { send(ControlAction::approve(GrantScope::once)); },
                std::move(items), look, block);
            m_allow->setPressAmount(m_demoPress->value());
            buttons->addWidget(m_allow);
        }
        m_jump = new SecondaryCapsule(QStringLiteral("Jump"), QStringLiteral("arrow.right.circle.fill"), true,
                                      block);
        connect(m_jump, &QAbstractButton::clicked, this, [this] { markReadAndJump(); });
        buttons->addWidget(m_jump);
        buttons->addStretch(1);
        layout->addLayout(buttons);
        m_content = indented(block);
        break;
    }
    case Content::questionForm: {
        const auto* waiting = m_card.session.status.as<SessionStatus::WaitingForInput>();
        m_form = new QuestionForm(
            waiting->inquiry, colour, [this](const ControlAction& action) { send(action); },
            [this] { jumpOnly(); }, this);
        m_content = indented(m_form);
        break;
    }
    case Content::jumpToAnswer:
        m_single = new SecondaryCapsule(QStringLiteral("Jump to answer"),
                                        QStringLiteral("arrow.right.circle.fill"), true, this);
        connect(m_single, &QAbstractButton::clicked, this, [this] { markReadAndJump(); });
        m_content = indented(m_single);
        static_cast<QVBoxLayout*>(m_content->layout())->setAlignment(m_single, Qt::AlignLeft);
        break;
    case Content::markRead:
        m_single =
            new SecondaryCapsule(QStringLiteral("Mark read"), QStringLiteral("checkmark.circle"), true, this);
        connect(m_single, &QAbstractButton::clicked, this,
                [this] { m_context.store.markDoneRead(m_card.session.id); });
        m_content = indented(m_single);
        static_cast<QVBoxLayout*>(m_content->layout())->setAlignment(m_single, Qt::AlignLeft);
        break;
    }
    m_contentLayout->addWidget(m_content);
    m_content->show();
}

void SessionRow::send(const ControlAction& action)
{
    // The decision is for the request this row shows. When the store no longer holds it (answered
    // in the terminal, replaced, or the session gone), nothing is sent and the row catches up.
    const Session* live = m_context.store.session(m_card.session.id);
    if (!live) {
        if (!isDemo())
            return;
        live = &m_card.session;
    }
    if (live->status != m_contentStatus) {
        setCard(SessionCard::of(*live));
        return;
    }
    m_context.dispatcher.perform(action, *live);
}

void SessionRow::markReadAndJump()
{
    m_context.store.markDoneRead(m_card.session.id);
    jumpOnly();
}

void SessionRow::jumpOnly()
{
    if (!m_context.jump)
        return;
    m_context.jump(m_card.session, [row = QPointer<SessionRow>(this)] {
        if (!row || row->m_noTerminal)
            return;
        row->m_noTerminal = true;
        row->refresh();
    });
}

QAbstractButton* SessionRow::denyButton() const
{
    return m_deny;
}
QAbstractButton* SessionRow::jumpButton() const
{
    return m_jump;
}
QAbstractButton* SessionRow::jumpToAnswerButton() const
{
    return m_shownContent == Content::jumpToAnswer ? m_single : nullptr;
}
QAbstractButton* SessionRow::markReadButton() const
{
    return m_shownContent == Content::markRead ? m_single : nullptr;
}

QString SessionRow::statusText() const
{
    return m_status->fullText();
}

QMenu* SessionRow::makeSilenceMenu(QWidget* parent)
{
    return SilenceMenu::make(m_card.session, m_context.store, parent);
}

void SessionRow::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton;
    CardFrame::mousePressEvent(event);
}

void SessionRow::mouseReleaseEvent(QMouseEvent* event)
{
    // A tap that no control took: mark read, then jump.
    const bool tap = m_pressed && event->button() == Qt::LeftButton && cardRect().contains(event->position());
    m_pressed = false;
    if (tap)
        markReadAndJump();
    CardFrame::mouseReleaseEvent(event);
}

void SessionRow::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu* menu = makeSilenceMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

} // namespace velquist
