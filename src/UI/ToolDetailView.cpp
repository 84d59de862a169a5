#include "UI/ToolDetailView.h"

#include "Core/DisplayText.h"
#include "Platform/WorkerTask.h"
#include "UI/CodeWell.h"
#include "UI/DiffView.h"
#include "UI/Kit/AuroraStyle.h"
#include "UI/Kit/CodeFont.h"
#include "UI/Kit/ElidedLabel.h"
#include "UI/Kit/Glyph.h"
#include "UI/Kit/Palette.h"
#include "UI/ToolDetailContent.h"
#include "UI/WrappedLabel.h"

#include <QFontMetricsF>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>
#include <QtMath>

namespace velquist {

namespace {

constexpr qreal kCaptionPoints = 10.5;
constexpr std::size_t kCaptionCharacters = 2000;
constexpr std::size_t kWellCharacters = 24000;
constexpr std::size_t kLabelCharacters = 300;
constexpr std::size_t kDetailCharacters = 400;
constexpr std::size_t kDetailLines = 4;
constexpr std::size_t kKeyCharacters = 40;
constexpr std::size_t kValueCharacters = 400;

QColor riskColour()
{
    return Palette::riskAmber();
}

QString shown(const std::string& text, std::size_t limit,
              DisplayText::Breaks breaks = DisplayText::Breaks::toSpaces)
{
    return DisplayText::clean(text, limit, breaks);
}

// The warning line: a triangle and the note, on one line.
class RiskLine : public QWidget
{
  public:
    RiskLine(const QString& note, QWidget* parent) : QWidget(parent), m_note(note)
    {
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        setAccessibleName(note);
    }
    QSize sizeHint() const override
    {
        const QFontMetricsF metrics(font());
        return QSize(qCeil(metrics.height() + 4 + metrics.horizontalAdvance(m_note)),
                     qCeil(metrics.height()));
    }
    QSize minimumSizeHint() const override { return QSize(40, sizeHint().height()); }

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QFont font = this->font();
        const QFontMetricsF metrics(font);
        const qreal side = metrics.height() * 0.8;
        Glyph::paint(painter, QRectF(0, (height() - side) / 2, side, side),
                     QStringLiteral("exclamationmark.triangle.fill"), riskColour());
        painter.setFont(font);
        painter.setPen(riskColour());
        const QRectF textRect(side + 4, 0, width() - side - 4, height());
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         metrics.elidedText(m_note, Qt::ElideRight, textRect.width()));
    }

  private:
    QString m_note;
};

// The number of an option on a circle of the accent colour.
class OptionBadge : public QWidget
{
  public:
    OptionBadge(int number, const QColor& accent, QWidget* parent)
        : QWidget(parent), m_number(QString::number(number)), m_accent(accent)
    {
        setFixedSize(13, 13);
    }

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_accent);
        painter.drawEllipse(QRectF(rect()));
        painter.setFont(AuroraStyle::font(9, QFont::Bold));
        painter.setPen(Palette::textOnAccent());
        painter.drawText(rect(), Qt::AlignCenter, m_number);
    }

  private:
    QString m_number;
    QColor m_accent;
};

// "MCP" on a small dim chip.
class McpChip : public QWidget
{
  public:
    explicit McpChip(QWidget* parent) : QWidget(parent)
    {
        setFont(AuroraStyle::font(8, QFont::Bold));
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        setAccessibleName(QStringLiteral("MCP"));
    }
    QSize sizeHint() const override
    {
        const QFontMetricsF metrics(font());
        return QSize(qCeil(metrics.horizontalAdvance(QStringLiteral("MCP")) + 8),
                     qCeil(metrics.height() + 2));
    }

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Palette::chipFill());
        painter.drawRoundedRect(QRectF(rect()), 3, 3);
        painter.setPen(Palette::textFaint());
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("MCP"));
    }
};

QLabel* plainLabel(const QString& text, const QFont& font, const QColor& colour, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    return label;
}

// A wrapping text of a few lines: the rest of a longer one is cut and marked.
QString firstLines(const std::string& text, std::size_t maxLines, std::size_t maxCharacters)
{
    bool cut = false;
    const auto lines = DisplayText::lines(text, maxLines, &cut);
    std::string kept;
    for (std::size_t i = 0; i < lines.size(); ++i)
        kept.append(i ? "\n" : "").append(lines[i]);
    QString result = shown(kept, maxCharacters, DisplayText::Breaks::keep);
    if (cut && !result.endsWith(QChar(0x2026)))
        result.append(QChar(0x2026));
    return result;
}

ElidedLabel* caption(const std::string& text, QWidget* parent)
{
    return new ElidedLabel(shown(text, kCaptionCharacters), codeFont(kCaptionPoints),
                           AuroraStyle::secondary(), 2, parent);
}

QWidget* optionList(const std::vector<QuestionOption>& options, const QColor& accent, QWidget* parent)
{
    auto* list = new QWidget(parent);
    auto* rows = new QVBoxLayout(list);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(4);
    int number = 1;
    for (const QuestionOption& option : options) {
        auto* row = new QHBoxLayout;
        row->setSpacing(6);
        row->addWidget(new OptionBadge(number++, accent, list), 0, Qt::AlignTop);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(1);
        texts->addWidget(new WrappedLabel(shown(option.label, kLabelCharacters),
                                          AuroraStyle::font(11, QFont::Medium), Palette::textEmphasis(),
                                          list));
        if (option.detail)
            texts->addWidget(new WrappedLabel(firstLines(*option.detail, kDetailLines, kDetailCharacters),
                                              AuroraStyle::font(10), Palette::textFaint(), list));
        row->addLayout(texts, 1);
        rows->addLayout(row);
    }
    return list;
}

QWidget* parameterGrid(const std::vector<ToolParameter>& parameters, QWidget* parent)
{
    auto* grid = new QWidget(parent);
    auto* layout = new QGridLayout(grid);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setHorizontalSpacing(10);
    layout->setVerticalSpacing(3);
    int row = 0;
    for (const ToolParameter& parameter : parameters) {
        QLabel* key = plainLabel(shown(parameter.key, kKeyCharacters), codeFont(kCaptionPoints),
                                 AuroraStyle::secondary(), grid);
        key->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
        auto* value = new ElidedLabel(shown(parameter.value, kValueCharacters), codeFont(kCaptionPoints),
                                      Palette::textSoft(), 2, grid);
        value->setSelectable(true);
        layout->addWidget(key, row, 0, Qt::AlignLeft | Qt::AlignTop);
        layout->addWidget(value, row, 1, Qt::AlignTop);
        ++row;
    }
    layout->setColumnStretch(1, 1);
    return grid;
}

} // namespace

ToolDetailView::ToolDetailView(const ToolDetail& detail, const QColor& accent,
                               std::filesystem::path sessionFolder, QWidget* parent)
    : QWidget(parent), m_detail(detail), m_accent(accent), m_sessionFolder(std::move(sessionFolder)),
      m_layout(new QVBoxLayout(this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(6);
    setFont(AuroraStyle::font(10, QFont::Medium));
    m_riskNote = m_detail.riskNote();
    rebuild();
    inspectTarget();
}

void ToolDetailView::setDetail(const ToolDetail& detail, const QColor& accent)
{
    if (detail == m_detail) {
        if (accent != m_accent) {
            m_accent = accent;
            rebuild();
        }
        return;
    }
    m_detail = detail;
    m_accent = accent;
    m_riskNote = m_detail.riskNote();
    rebuild();
    inspectTarget();
}

void ToolDetailView::inspectTarget()
{
    ++m_generation;
    if (!m_detail.as<ToolDetail::Write>())
        return;
    const std::uint64_t generation = m_generation;
    runOnWorker<std::optional<std::string>>(
        this,
        [detail = m_detail, folder = m_sessionFolder]() mutable {
            detail.inspectWriteTarget(folder);
            return detail.riskNote();
        },
        [this, generation](std::optional<std::string> note) {
            if (generation != m_generation || note == m_riskNote)
                return;
            m_riskNote = std::move(note);
            rebuild();
            Q_EMIT riskNoteChanged();
        });
}

void ToolDetailView::rebuild()
{
    while (QLayoutItem* item = m_layout->takeAt(0)) {
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        }
        delete item;
    }
    if (m_riskNote) {
        auto* risk = new RiskLine(shown(*m_riskNote, kCaptionCharacters), this);
        risk->setFont(AuroraStyle::font(10, QFont::Medium));
        m_layout->addWidget(risk);
    }
    using Kind = ToolDetailPiece::Kind;
    for (const ToolDetailPiece& piece : ToolDetailContent::pieces(m_detail)) {
        switch (piece.kind) {
        case Kind::caption:
            m_layout->addWidget(caption(piece.text, this));
            break;
        case Kind::well:
            m_layout->addWidget(new CodeWell(shown(piece.text, kWellCharacters, DisplayText::Breaks::keep),
                                             piece.monospaced, piece.heightCap, this));
            break;
        case Kind::diff:
            m_layout->addWidget(new DiffView(piece.hunk, this));
            break;
        case Kind::options:
            m_layout->addWidget(optionList(piece.options, m_accent, this));
            break;
        case Kind::mcpChip:
            m_layout->addWidget(new McpChip(this), 0, Qt::AlignLeft);
            break;
        case Kind::parameters:
            m_layout->addWidget(parameterGrid(piece.parameters, this));
            break;
        }
    }
    updateGeometry();
}

} // namespace velquist
