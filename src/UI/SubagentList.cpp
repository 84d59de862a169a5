#include "UI/SubagentList.h"

#include "Core/DisplayText.h"
#include "UI/Kit/AuroraStyle.h"
#include "UI/Kit/Palette.h"
#include "UI/SubagentDisplay.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QtMath>

namespace velquist {

namespace {

constexpr qreal kPoints = 10.5;
constexpr qreal kLeadingPadding = 1;
constexpr qreal kRuleWidth = 1;
constexpr qreal kRuleSpacing = 7;
constexpr qreal kRowSpacing = 2;
constexpr qreal kNameSpacing = 5;

QFont nameFont()
{
    return AuroraStyle::font(kPoints, QFont::Medium);
}

QFont textFont()
{
    return AuroraStyle::font(kPoints);
}

} // namespace

SubagentList::SubagentList(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setHidden(true);
}

void SubagentList::setSubagents(const std::vector<SubagentRun>& running, std::int64_t done)
{
    std::vector<Row> rows;
    for (const SubagentRun& run : SubagentDisplay::visible(running)) {
        rows.push_back(
            {DisplayText::clean(run.name, kMaxNameCharacters),
             run.activity ? DisplayText::clean(*run.activity, kMaxActivityCharacters) : QString()});
    }
    const auto summary = SubagentDisplay::summary(std::int64_t(running.size()), done);
    const QString tally = summary ? QString::fromStdString(*summary) : QString();
    const bool hasRule = !running.empty();
    if (rows == m_rows && tally == m_tally && hasRule == m_hasRule)
        return;
    m_rows = std::move(rows);
    m_tally = tally;
    m_hasRule = hasRule;
    setHidden(running.empty() && done < 1);
    updateGeometry();
    update();
}

qreal SubagentList::lineHeight() const
{
    return QFontMetricsF(nameFont()).height();
}

QSize SubagentList::sizeHint() const
{
    const int lines = int(m_rows.size()) + (m_tally.isEmpty() ? 0 : 1);
    if (lines == 0)
        return QSize(0, 0);
    const qreal height = lines * lineHeight() + (lines - 1) * kRowSpacing;
    qreal width = 0;
    const QFontMetricsF names(nameFont());
    const QFontMetricsF texts(textFont());
    for (const Row& row : m_rows) {
        qreal w = names.horizontalAdvance(row.name);
        if (!row.activity.isEmpty())
            w += kNameSpacing + texts.horizontalAdvance(row.activity);
        width = std::max(width, w);
    }
    width = std::max(width, texts.horizontalAdvance(m_tally));
    return QSize(qCeil(kLeadingPadding + kRuleWidth + kRuleSpacing + std::min<qreal>(width, 320)),
                 qCeil(height));
}

QSize SubagentList::minimumSizeHint() const
{
    return QSize(40, sizeHint().height());
}

void SubagentList::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal h = lineHeight();
    if (m_hasRule) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Palette::trackLine());
        painter.drawRoundedRect(QRectF(kLeadingPadding, 0, kRuleWidth, height()), 0.5, 0.5);
    }
    const qreal x = kLeadingPadding + (m_hasRule ? kRuleWidth + kRuleSpacing : 0);
    const qreal available = width() - x;
    const QFontMetricsF names(nameFont());
    const QFontMetricsF texts(textFont());
    qreal y = 0;
    for (const Row& row : m_rows) {
        // The name stays whole; the activity takes what is left and is cut at its end.
        painter.setFont(nameFont());
        painter.setPen(Palette::subagentText());
        const qreal nameWidth = names.horizontalAdvance(row.name);
        painter.drawText(QRectF(x, y, available, h), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         row.name);
        if (!row.activity.isEmpty()) {
            const qreal ax = x + nameWidth + kNameSpacing;
            const qreal aw = std::max<qreal>(0, width() - ax);
            painter.setFont(textFont());
            painter.setPen(AuroraStyle::secondary());
            painter.drawText(QRectF(ax, y, aw, h), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                             texts.elidedText(row.activity, Qt::ElideRight, aw));
        }
        y += h + kRowSpacing;
    }
    if (!m_tally.isEmpty()) {
        painter.setFont(textFont());
        painter.setPen(AuroraStyle::sectionLabel());
        painter.drawText(QRectF(x, y, available, h), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         m_tally);
    }
}

} // namespace velquist
