#include "UI/PlanCard.h"

#include "Core/DisplayText.h"
#include "UI/CodeWell.h"
#include "UI/Kit/AuroraStyle.h"
#include "UI/Kit/CodeFont.h"
#include "UI/Kit/Palette.h"
#include "UI/Kit/PrimaryCapsule.h"
#include "UI/Kit/SecondaryCapsule.h"
#include "UI/Kit/SplitCapsule.h"
#include "UI/NotchTextField.h"

#include <QAbstractTextDocumentLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextFrame>
#include <QVBoxLayout>
#include <QtMath>

namespace velquist {

namespace {

constexpr int kWellPadding = 10;
constexpr qreal kBlockSpacing = 7;
constexpr std::size_t kLineCharacters = 2000;
constexpr std::size_t kFeedbackCharacters = 4000;
constexpr qreal kCodeRadius = 12;
constexpr qreal kCodePaddingX = 9;
constexpr qreal kCodePaddingY = 6;
// Marks the frames that hold a code block, so the well paints them rounded behind the text.
constexpr int kCodeFrameProperty = QTextFormat::UserProperty + 1;
// The plan's first blocks, laid out alone to learn whether the well reaches its cap: every block
// takes at least a line, so this many are taller than the cap at any width a card has.
constexpr std::size_t kProbeBlocks = 30;

// The plan well: as tall as the plan up to its cap, scrolling beyond.
class PlanWell : public QTextEdit
{
  public:
    explicit PlanWell(QWidget* parent) : QTextEdit(parent)
    {
        setReadOnly(true);
        setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        setFrameShape(QFrame::NoFrame);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setViewportMargins(0, 0, 0, 0);
        document()->setDocumentMargin(kWellPadding);
        viewport()->setAutoFillBackground(false);
        QPalette palette = this->palette();
        palette.setColor(QPalette::Base, Qt::transparent);
        palette.setColor(QPalette::Text, Palette::cardText());
        setPalette(palette);
        CodeWell::styleScrollBar(verticalScrollBar());
        QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        policy.setHeightForWidth(true);
        setSizePolicy(policy);
    }

    // A document holding the plan's first blocks, or none when those are the whole plan.
    void setProbe(QTextDocument* probe)
    {
        probe->setDocumentMargin(kWellPadding);
        probe->setDefaultFont(font());
        m_probe = probe;
    }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override
    {
        // A plan's start is never taller than the whole: when it reaches the cap, the whole plan
        // is not laid out at this width to learn the height.
        if (m_probe) {
            if (m_probe->textWidth() != width)
                m_probe->setTextWidth(width);
            if (qCeil(m_probe->size().height()) >= PlanCard::kMaxWellHeight)
                return PlanCard::kMaxWellHeight;
        }
        QTextDocument* doc = document();
        if (doc->textWidth() != width)
            doc->setTextWidth(width);
        return std::min(PlanCard::kMaxWellHeight, qCeil(doc->size().height()));
    }
    QSize sizeHint() const override { return QSize(320, heightForWidth(320)); }
    QSize minimumSizeHint() const override { return QSize(80, std::min(heightForWidth(320), 40)); }

  protected:
    void paintEvent(QPaintEvent* event) override
    {
        {
            QPainter painter(viewport());
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(Qt::NoPen);
            painter.setBrush(Palette::codeBlockFill());
            painter.drawRoundedRect(QRectF(viewport()->rect()), 8, 8);
            // A text frame can fill only a square band; the code wells are painted here instead.
            const QPointF scrolled(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
            painter.setBrush(AuroraStyle::wellFill());
            for (QTextFrame* frame : document()->rootFrame()->childFrames()) {
                if (!frame->frameFormat().boolProperty(kCodeFrameProperty))
                    continue;
                const QRectF box =
                    document()->documentLayout()->frameBoundingRect(frame).translated(scrolled);
                painter.drawRoundedRect(box, kCodeRadius, kCodeRadius);
            }
        }
        QTextEdit::paintEvent(event);
    }

  private:
    QTextDocument* m_probe = nullptr;
};

QTextCharFormat runFormat(const PlanInlineRun& run, const QFont& base, const QColor& colour)
{
    QTextCharFormat format;
    QFont font = run.code ? codeFont(base.pointSizeF() * 96.0 / 72.0 - 1) : base;
    if (run.strong)
        font.setWeight(QFont::Bold);
    font.setItalic(run.emphasis);
    font.setStrikeOut(run.strikethrough);
    format.setFont(font);
    format.setForeground(colour);
    if (run.code)
        format.setBackground(Palette::inlineCodeFill());
    if (run.link) {
        format.setFontUnderline(true);
        format.setForeground(Palette::linkText());
        format.setToolTip(DisplayText::clean(*run.link, 500));
    }
    return format;
}

// Inserts a line of plan text with its inline styling; agent text goes in as text, never markup.
void insertInline(QTextCursor& cursor, const std::string& text, const QFont& font, const QColor& colour)
{
    const std::string shown = DisplayText::clean(text, kLineCharacters).toStdString();
    for (const PlanInlineRun& run : PlanMarkdown::inlineRuns(shown))
        cursor.insertText(QString::fromStdString(run.text), runFormat(run, font, colour));
}

} // namespace

PlanCard::PlanCard(std::vector<PlanBlock> blocks, const QColor& signal, Send send, Jump jump,
                   AttentionCoordinator* coordinator, FocusReturn* focusReturn, QWidget* parent)
    : QWidget(parent), m_send(std::move(send)), m_coordinator(coordinator), m_focusReturn(focusReturn),
      m_well(new PlanWell(this)), m_signal(signal)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kLeadingIndent, 0, 0, 0);
    layout->setSpacing(8);
    buildDocument(m_well->document(), blocks, std::min(blocks.size(), kMaxBlocks));
    m_well->moveCursor(QTextCursor::Start);
    // The plan's start: its first blocks, each with at most as many lines (a paragraph or code
    // block may run for thousands).
    std::vector<PlanBlock> start(blocks.begin(), blocks.begin() + std::min(blocks.size(), kProbeBlocks));
    bool cut = start.size() < blocks.size();
    for (PlanBlock& block : start) {
        std::vector<std::string>* lines = nullptr;
        if (auto* paragraph = std::get_if<PlanBlock::Paragraph>(&block.value))
            lines = &paragraph->lines;
        else if (auto* code = std::get_if<PlanBlock::Code>(&block.value))
            lines = &code->lines;
        if (lines && lines->size() > kProbeBlocks) {
            lines->resize(kProbeBlocks);
            cut = true;
        }
    }
    if (cut) {
        auto* probe = new QTextDocument(m_well);
        static_cast<PlanWell*>(m_well)->setProbe(probe);
        buildDocument(probe, start, start.size());
    }
    layout->addWidget(m_well);

    m_buttonRow = new QWidget(this);
    auto* buttons = new QHBoxLayout(m_buttonRow);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(7);
    m_requestChanges =
        new SecondaryCapsule(QStringLiteral("Request changes"), QStringLiteral("pencil"), true, m_buttonRow);
    connect(m_requestChanges, &QAbstractButton::clicked, this, [this] { setWriting(true); });
    SplitCapsule::Look look;
    look.mainLeading = 13;
    look.mainTrailing = 10;
    look.dividerHeight = 14;
    look.chevronPaddingX = 9;
    look.chevronPaddingY = 6;
    m_approve = new SplitCapsule(
        QStringLiteral("Approve"), signal,
        [this] {
            if (m_send)
                m_send(ControlAction::approvePlan(std::nullopt));
        },
        {{QStringLiteral("Approve and auto-accept edits"),
          [this] {
              if (m_send)
                  m_send(ControlAction::approvePlan(std::string("acceptEdits")));
          }}},
        look, m_buttonRow);
    m_jump =
        new SecondaryCapsule(QStringLiteral("Jump"), QStringLiteral("arrow.right.circle"), true, m_buttonRow);
    connect(m_jump, &QAbstractButton::clicked, this, [jump = std::move(jump)] {
        if (jump)
            jump();
    });
    buttons->addWidget(m_requestChanges);
    buttons->addWidget(m_approve);
    buttons->addWidget(m_jump);
    buttons->addStretch(1);
    layout->addWidget(m_buttonRow);

    m_feedbackRow = new QWidget(this);
    auto* feedback = new QVBoxLayout(m_feedbackRow);
    feedback->setContentsMargins(0, 0, 0, 0);
    feedback->setSpacing(7);
    auto* actions = new QHBoxLayout;
    actions->setSpacing(7);
    m_cancel = new SecondaryCapsule(QStringLiteral("Cancel"), QStringLiteral("xmark"), true, m_feedbackRow);
    connect(m_cancel, &QAbstractButton::clicked, this, [this] { setWriting(false); });
    m_sendButton =
        new PrimaryCapsule(QStringLiteral("Send"), QStringLiteral("arrow.up"), signal, m_feedbackRow);
    connect(m_sendButton, &QAbstractButton::clicked, this, &PlanCard::send);
    actions->addWidget(m_cancel);
    actions->addWidget(m_sendButton);
    actions->addStretch(1);
    feedback->addLayout(actions);
    m_feedbackLayout = feedback;
    layout->addWidget(m_feedbackRow);
    m_feedbackRow->setVisible(false);
}

PlanCard::~PlanCard() = default;

void PlanCard::setSignal(const QColor& signal)
{
    m_signal = signal;
    m_approve->setSignal(signal);
    m_sendButton->setSignal(signal);
}

void PlanCard::dismiss()
{
    setWriting(false);
}

QString PlanCard::feedback() const
{
    return m_field ? m_field->text() : QString();
}

void PlanCard::setWriting(bool writing)
{
    if (writing == m_writing)
        return;
    m_writing = writing;
    m_buttonRow->setVisible(!writing);
    m_feedbackRow->setVisible(writing);
    if (writing) {
        // A fresh field each time: it takes the keyboard when shown and gives it back when it goes.
        m_field = new NotchTextField(m_coordinator, m_focusReturn, m_feedbackRow);
        m_field->setPlaceholderText(QStringLiteral("What should change?"));
        m_field->setMaxLength(int(kFeedbackCharacters));
        m_field->setFont(AuroraStyle::font(12));
        m_field->setTextMargins(10, 7, 10, 7);
        QColor outline = m_signal;
        outline.setAlphaF(0.35f);
        m_field->setStyleSheet(
            QStringLiteral("QLineEdit { background: rgba(255, 255, 255, 18); color: white; "
                           "border: 1px solid %1; border-radius: 8px; }")
                .arg(outline.name(QColor::HexArgb)));
        connect(m_field, &NotchTextField::submitted, this, &PlanCard::send);
        m_feedbackLayout->insertWidget(0, m_field);
        m_field->show();
        m_field->setFocus(Qt::OtherFocusReason);
    } else if (m_field) {
        // Deleted later: Return in the field itself may have brought us here.
        m_field->hide();
        m_field->deleteLater();
        m_field = nullptr;
    }
}

void PlanCard::send()
{
    if (!m_field)
        return;
    const QString trimmed = m_field->text().trimmed();
    if (trimmed.isEmpty())
        return;
    if (m_send)
        m_send(ControlAction::denyWithMessage(trimmed.toStdString()));
    setWriting(false);
}

QAbstractButton* PlanCard::requestChangesButton() const
{
    return m_requestChanges;
}

QAbstractButton* PlanCard::jumpButton() const
{
    return m_jump;
}

QAbstractButton* PlanCard::cancelButton() const
{
    return m_cancel;
}

QAbstractButton* PlanCard::sendButton() const
{
    return m_sendButton;
}

void PlanCard::buildDocument(QTextDocument* doc, const std::vector<PlanBlock>& blocks, std::size_t count)
{
    doc->clear();
    QTextCursor cursor(doc);
    const QColor body = Palette::cardText();
    const QFont bodyFont = AuroraStyle::font(11.5);
    bool first = true;
    bool afterFrame = false;
    const auto startBlock = [&](qreal extraTop = 0) {
        QTextBlockFormat format;
        format.setTopMargin((first ? 0 : kBlockSpacing) + extraTop);
        if (first || afterFrame)
            cursor.setBlockFormat(format);
        else
            cursor.insertBlock(format);
        first = false;
        afterFrame = false;
        return format;
    };
    for (std::size_t i = 0; i < count; ++i) {
        const PlanBlock& block = blocks[i];
        if (const auto* heading = block.as<PlanBlock::Heading>()) {
            startBlock(3);
            QFont font = AuroraStyle::font(heading->level <= 2 ? 13.5 : 11.5, QFont::DemiBold);
            insertInline(cursor, heading->text, font, Palette::textBright());
        } else if (const auto* item = block.as<PlanBlock::ListItem>()) {
            QTextBlockFormat format = startBlock();
            const QString marker = item->marker.isBullet()
                                       ? QStringLiteral("\u2022")
                                       : DisplayText::clean(*item->marker.ordered, 12) + QStringLiteral(".");
            const qreal markerWidth = std::max<qreal>(11, QFontMetricsF(bodyFont).horizontalAdvance(marker));
            // The marker right-aligned in its column, the text after it, wrapped lines under the text.
            format.setTabPositions({QTextOption::Tab(markerWidth, QTextOption::RightTab),
                                    QTextOption::Tab(markerWidth + 6, QTextOption::LeftTab)});
            format.setLeftMargin(markerWidth + 6);
            format.setTextIndent(-(markerWidth + 6));
            cursor.setBlockFormat(format);
            QTextCharFormat markerFormat;
            markerFormat.setFont(bodyFont);
            markerFormat.setForeground(Palette::listMarker());
            cursor.insertText(QStringLiteral("\t") + marker + QStringLiteral("\t"), markerFormat);
            insertInline(cursor, item->text, bodyFont, body);
        } else if (const auto* paragraph = block.as<PlanBlock::Paragraph>()) {
            for (std::size_t l = 0; l < paragraph->lines.size(); ++l) {
                if (l == 0) {
                    startBlock();
                } else {
                    cursor.insertBlock(QTextBlockFormat());
                }
                insertInline(cursor, paragraph->lines[l], bodyFont, body);
            }
        } else if (const auto* code = block.as<PlanBlock::Code>()) {
            // A frame of its own, padded, full width; the well paints its rounded fill.
            QTextFrameFormat well;
            well.setProperty(kCodeFrameProperty, true);
            well.setWidth(QTextLength(QTextLength::PercentageLength, 100));
            well.setTopMargin(first ? 0 : kBlockSpacing);
            well.setPadding(kCodePaddingY);
            if (first) {
                // The block a document always starts with stays before the frame: make it nothing.
                QTextBlockFormat none;
                none.setLineHeight(0, QTextBlockFormat::FixedHeight);
                cursor.setBlockFormat(none);
            }
            QTextFrame* frame = cursor.insertFrame(well);
            QTextCharFormat text;
            text.setFont(codeFont(10.5));
            text.setForeground(body);
            QTextBlockFormat line;
            line.setLeftMargin(kCodePaddingX - kCodePaddingY);
            line.setRightMargin(kCodePaddingX - kCodePaddingY);
            for (std::size_t l = 0; l < code->lines.size(); ++l) {
                if (l > 0)
                    cursor.insertBlock();
                cursor.setBlockFormat(line);
                cursor.insertText(
                    DisplayText::clean(code->lines[l], kLineCharacters, DisplayText::Breaks::toSpaces), text);
            }
            // Out of the frame, onto the block the document keeps after it; the next block reuses it.
            cursor.setPosition(frame->lastPosition() + 1);
            first = false;
            afterFrame = true;
        }
    }
    if (blocks.size() > count) {
        startBlock();
        QTextCharFormat more;
        more.setFont(bodyFont);
        more.setForeground(AuroraStyle::secondary());
        cursor.insertText(QStringLiteral("\u2026 %1 more").arg(blocks.size() - count), more);
    }
}

} // namespace velquist
