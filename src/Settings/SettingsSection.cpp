#include "Settings/SettingsSection.h"

#include "Settings/SettingsSwitch.h"
#include "UI/Kit/GlyphLabel.h"
#include "UI/Kit/SettingsStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace velquist {

namespace {

constexpr int kCardPaddingX = 12;
constexpr int kRowPaddingY = 7;

// The card behind a section's rows: a faint rounded rectangle with a hairline between visible rows.
class SectionCard final : public QWidget
{
  public:
    explicit SectionCard(QWidget* parent) : QWidget(parent) {}

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath card;
        card.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
        painter.fillPath(card, SettingsStyle::sectionFill());
        painter.setPen(QPen(SettingsStyle::sectionStroke(), 1));
        painter.drawPath(card);
        bool first = true;
        for (int i = 0; layout() && i < layout()->count(); ++i) {
            QWidget* row = layout()->itemAt(i)->widget();
            if (!row || !row->isVisibleTo(this))
                continue;
            if (!first) {
                const qreal y = row->geometry().top() + 0.5;
                painter.drawLine(QPointF(kCardPaddingX, y), QPointF(width() - kCardPaddingX, y));
            }
            first = false;
        }
    }
};

} // namespace

SettingsSection::SettingsSection(const QString& header, QWidget* parent)
    : QWidget(parent), m_layout(new QVBoxLayout(this)), m_header(new QLabel(header, this)),
      m_card(new SectionCard(this)), m_rows(new QVBoxLayout(m_card))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(6);
    m_header->setTextFormat(Qt::PlainText);
    m_header->setFont(SettingsStyle::headerFont());
    m_header->setContentsMargins(4, 0, 0, 0);
    QPalette palette = m_header->palette();
    palette.setColor(QPalette::WindowText, SettingsStyle::primaryText());
    m_header->setPalette(palette);
    m_header->setVisible(!header.isEmpty());
    m_layout->addWidget(m_header);
    m_rows->setContentsMargins(0, 0, 0, 0);
    m_rows->setSpacing(0);
    m_layout->addWidget(m_card);
}

void SettingsSection::setHeaderWidget(QWidget* header)
{
    m_header->hide();
    m_header->setText({});
    if (m_headerWidget)
        m_headerWidget->deleteLater();
    m_headerWidget = header;
    header->setParent(this);
    m_layout->insertWidget(1, header);
}

QLabel* SettingsSection::setFooter(const QString& text)
{
    if (!m_footer) {
        m_footer = calloutLabel(text, this);
        m_footer->setContentsMargins(4, 0, 4, 0);
        m_layout->addWidget(m_footer);
    }
    m_footer->setText(text);
    m_footer->setVisible(!text.isEmpty());
    return m_footer;
}

QWidget* SettingsSection::addRow(QWidget* content)
{
    return insertRow(-1, content);
}

QWidget* SettingsSection::insertRow(int index, QWidget* content)
{
    auto* row = new QWidget(m_card);
    auto* layout = new QVBoxLayout(row);
    layout->setContentsMargins(kCardPaddingX, kRowPaddingY, kCardPaddingX, kRowPaddingY);
    layout->setSpacing(4);
    layout->addWidget(content);
    m_rows->insertWidget(index < 0 || index > m_rows->count() ? m_rows->count() : index, row);
    m_lastRow = row;
    return row;
}

QWidget* SettingsSection::addRow(const QString& label, QWidget* control)
{
    auto* line = new QWidget;
    auto* layout = new QHBoxLayout(line);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    QLabel* text = rowLabel(label, line);
    text->setBuddy(control);
    layout->addWidget(text);
    layout->addStretch(1);
    layout->addWidget(control);
    if (control->accessibleName().isEmpty())
        control->setAccessibleName(label);
    return addRow(line);
}

SettingsSwitch* SettingsSection::addSwitch(const QString& title)
{
    auto* toggle = new SettingsSwitch(title);
    addRow(toggle);
    return toggle;
}

QLabel* SettingsSection::addNote(const QString& text)
{
    if (!m_lastRow)
        return addText(text);
    auto* note = calloutLabel(text, m_lastRow);
    m_lastRow->layout()->addWidget(note);
    return note;
}

QLabel* SettingsSection::addText(const QString& text)
{
    QLabel* label = secondaryLabel(text);
    addRow(label);
    return label;
}

QString SettingsSection::header() const
{
    return m_header->text();
}

namespace {

// `label` as plain, wrapped text in `font` and the secondary colour.
template <typename Label> Label* asSecondary(Label* label, const QFont& font)
{
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, SettingsStyle::secondaryText());
    label->setPalette(palette);
    return label;
}

} // namespace

QLabel* SettingsSection::rowLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(SettingsStyle::bodyFont());
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, SettingsStyle::primaryText());
    label->setPalette(palette);
    return label;
}

QLabel* SettingsSection::secondaryLabel(const QString& text, QWidget* parent)
{
    return asSecondary(new QLabel(text, parent), SettingsStyle::bodyFont());
}

QLabel* SettingsSection::calloutLabel(const QString& text, QWidget* parent)
{
    return asSecondary(new QLabel(text, parent), SettingsStyle::calloutFont());
}

GlyphLabel* SettingsSection::calloutGlyphLabel(const QString& glyph, const QString& text, QWidget* parent)
{
    auto* label = asSecondary(new GlyphLabel(glyph, SettingsStyle::secondaryText(), text, parent),
                              SettingsStyle::calloutFont());
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

} // namespace velquist
