#include "UI/BrandGlyph.h"

#include <QPainterPathStroker>
#include <QTransform>

#include <cmath>
#include <functional>
#include <map>

namespace velquist::BrandGlyph {
namespace {

// Described in a unit square, y downward, and built at kUnit times that size so path operations
// keep curves round.
const double kPi = std::acos(-1.0);
constexpr qreal kUnit = 100;

QPainterPath scaled(const QPainterPath& unitPath)
{
    return QTransform::fromScale(kUnit, kUnit).map(unitPath);
}

QPainterPath stroke(const QPainterPath& line, qreal width, Qt::PenCapStyle cap = Qt::RoundCap)
{
    QPainterPathStroker stroker;
    stroker.setWidth(width * kUnit);
    stroker.setCapStyle(cap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(scaled(line)).simplified();
}

QPainterPath disc(QPointF centre, qreal radius)
{
    QPainterPath path;
    path.addEllipse(centre * kUnit, radius * kUnit, radius * kUnit);
    return path;
}

// Rays of equal length around the centre, tapering outward.
QPainterPath burst()
{
    QPainterPath rays;
    const int count = 10;
    for (int i = 0; i < count; ++i) {
        const double angle = i * 2 * kPi / count - kPi / 2;
        const double inner = 0.12, outer = (i % 2 == 0) ? 0.48 : 0.4;
        QPainterPath ray;
        ray.moveTo(0.5 + inner * std::cos(angle), 0.5 + inner * std::sin(angle));
        ray.lineTo(0.5 + outer * std::cos(angle), 0.5 + outer * std::sin(angle));
        rays = rays.united(stroke(ray, 0.11));
    }
    return rays.united(disc({0.5, 0.5}, 0.15));
}

// A rounded hexagon ring holding a prompt chevron.
QPainterPath promptHexagon()
{
    QPainterPath hexagon;
    for (int i = 0; i < 6; ++i) {
        const double angle = i * kPi / 3 - kPi / 2;
        const QPointF point(0.5 + 0.44 * std::cos(angle), 0.5 + 0.44 * std::sin(angle));
        if (i == 0)
            hexagon.moveTo(point);
        else
            hexagon.lineTo(point);
    }
    hexagon.closeSubpath();
    QPainterPath prompt;
    prompt.moveTo(0.33, 0.36);
    prompt.lineTo(0.47, 0.5);
    prompt.lineTo(0.33, 0.64);
    QPainterPath underline;
    underline.moveTo(0.53, 0.64);
    underline.lineTo(0.68, 0.64);
    return stroke(hexagon, 0.09).united(stroke(prompt, 0.09)).united(stroke(underline, 0.09));
}

// A pointer arrow standing in a cube's outline.
QPainterPath pointer()
{
    QPainterPath arrow;
    arrow.moveTo(0.2, 0.12);
    arrow.lineTo(0.84, 0.46);
    arrow.lineTo(0.54, 0.56);
    arrow.lineTo(0.4, 0.88);
    arrow.closeSubpath();
    return scaled(arrow);
}

// Four curved points, a spark.
QPainterPath spark()
{
    QPainterPath path;
    path.moveTo(0.5, 0.02);
    path.quadTo(0.54, 0.46, 0.98, 0.5);
    path.quadTo(0.54, 0.54, 0.5, 0.98);
    path.quadTo(0.46, 0.54, 0.02, 0.5);
    path.quadTo(0.46, 0.46, 0.5, 0.02);
    path.closeSubpath();
    return scaled(path);
}

// A ring with a tail: a bold Q of three arcs.
QPainterPath tailedRing()
{
    QPainterPath ring = disc({0.48, 0.48}, 0.4).subtracted(disc({0.48, 0.48}, 0.25));
    QPainterPath tail;
    tail.moveTo(0.62, 0.62);
    tail.lineTo(0.88, 0.88);
    return ring.united(stroke(tail, 0.15));
}

// Brackets around a block: an open frame.
QPainterPath brackets()
{
    QPainterPath left;
    left.moveTo(0.36, 0.14);
    left.lineTo(0.14, 0.14);
    left.lineTo(0.14, 0.86);
    left.lineTo(0.36, 0.86);
    QPainterPath right;
    right.moveTo(0.64, 0.14);
    right.lineTo(0.86, 0.14);
    right.lineTo(0.86, 0.86);
    right.lineTo(0.64, 0.86);
    QPainterPath block;
    block.addRect(QRectF(0.38, 0.38, 0.24, 0.24));
    return stroke(left, 0.1, Qt::SquareCap).united(stroke(right, 0.1, Qt::SquareCap)).united(scaled(block));
}

// A circle with a question mark cut out.
QPainterPath unknown()
{
    QPainterPath hook;
    hook.moveTo(0.38, 0.38);
    hook.cubicTo(0.38, 0.22, 0.64, 0.22, 0.63, 0.38);
    hook.cubicTo(0.62, 0.5, 0.5, 0.48, 0.5, 0.6);
    QPainterPath mark = stroke(hook, 0.09).united(disc({0.5, 0.74}, 0.055));
    return disc({0.5, 0.5}, 0.46).subtracted(mark);
}

const std::map<QString, std::function<QPainterPath()>>& builders()
{
    static const std::map<QString, std::function<QPainterPath()>> table = {
        {"brand-claude", burst},    {"brand-codex", promptHexagon}, {"brand-cursor", pointer},
        {"brand-gemini", spark},    {"brand-qwen", tailedRing},     {"brand-opencode", brackets},
        {"brand-unknown", unknown},
    };
    return table;
}

} // namespace

bool exists(const QString& asset)
{
    return builders().count(asset) > 0;
}

QPainterPath path(const QString& asset, qreal side)
{
    const auto found = builders().find(asset);
    if (found == builders().end() || side <= 0)
        return {};
    // Building a mark unites and simplifies paths, far dearer than filling it: a spinner draws
    // its mark twenty times a second. Each thread that paints keeps its own built marks.
    thread_local std::map<QString, QPainterPath> built;
    auto unit = built.find(asset);
    if (unit == built.end())
        unit = built.emplace(asset, found->second()).first;
    return QTransform::fromScale(side / kUnit, side / kUnit).map(unit->second);
}

} // namespace velquist::BrandGlyph
