#include "UI/DiffView.h"

#include "Core/DisplayText.h"
#include "UI/Kit/AuroraStyle.h"
#include "UI/Kit/CodeFont.h"
#include "UI/Kit/Palette.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace velquist {

namespace {

constexpr qreal kPaddingX = 12;
constexpr qreal kPaddingY = 2;
constexpr qreal kSignSpacing = 7;
constexpr qreal kCornerRadius = 12;
constexpr qreal kPoints = 10.5;

struct RoleLook
{
    QString sign;
    QColor tint;
    QColor wash;
};

RoleLook look(DiffRow::Role role)
{
    if (role == DiffRow::Role::removed)
        return {QStringLiteral("-"), Palette::diffRemovedText(), Palette::diffRemovedFill()};
    return {QStringLiteral("+"), Palette::diffAddedText(), Palette::diffAddedFill()};
}

} // namespace

DiffView::DiffView(const EditHunk& hunk, QWidget* parent) : QWidget(parent), m_rows(rows(hunk))
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

std::vector<std::string_view> DiffView::lines(std::string_view text)
{
    return DisplayText::lines(text, kMaxLinesPerSide);
}

std::vector<DiffRow> DiffView::rows(const EditHunk& hunk)
{
    std::vector<DiffRow> result;
    const auto add = [&result](std::string_view text, DiffRow::Role role) {
        for (const std::string_view line : lines(text)) {
            QString shown = DisplayText::clean(line, kMaxRowCharacters);
            result.push_back({role, shown.isEmpty() ? QStringLiteral(" ") : shown});
        }
    };
    add(hunk.oldString, DiffRow::Role::removed);
    add(hunk.newString, DiffRow::Role::added);
    return result;
}

int DiffView::rowHeight() const
{
    return qCeil(QFontMetricsF(codeFont(kPoints)).height() + 2 * kPaddingY);
}

QSize DiffView::sizeHint() const
{
    return QSize(240, rowHeight() * int(m_rows.size()));
}

QSize DiffView::minimumSizeHint() const
{
    return QSize(60, rowHeight() * int(m_rows.size()));
}

void DiffView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = rect();
    QPainterPath shape;
    shape.addRoundedRect(bounds, kCornerRadius, kCornerRadius);
    painter.fillPath(shape, AuroraStyle::wellFill());
    painter.save();
    painter.setClipPath(shape);

    const QFont textFont = codeFont(kPoints);
    const QFont signFont = codeFont(kPoints, QFont::Bold);
    const QFontMetricsF signMetrics(signFont);
    const QFontMetricsF textMetrics(textFont);
    const int height = rowHeight();
    qreal y = 0;
    for (const DiffRow& row : m_rows) {
        const RoleLook role = look(row.role);
        const QRectF rowRect(0, y, bounds.width(), height);
        painter.fillRect(rowRect, role.wash);
        const QRectF inner = rowRect.adjusted(kPaddingX, kPaddingY, -kPaddingX, -kPaddingY);
        painter.setFont(signFont);
        painter.setPen(role.tint);
        painter.drawText(inner, Qt::AlignLeft | Qt::AlignTop, role.sign);
        const qreal textX = signMetrics.horizontalAdvance(role.sign) + kSignSpacing;
        const QRectF textRect = inner.adjusted(textX, 0, 0, 0);
        painter.setFont(textFont);
        painter.setPen(Palette::cardText());
        const QString shown = textMetrics.elidedText(row.text, Qt::ElideRight, textRect.width());
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, shown);
        y += height;
    }
    painter.restore();
    painter.setPen(QPen(AuroraStyle::wellStroke(), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(bounds.adjusted(0.5, 0.5, -0.5, -0.5), kCornerRadius - 0.5, kCornerRadius - 0.5);
}

} // namespace velquist
