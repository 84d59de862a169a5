#include "UI/Kit/Glyph.h"

#include <QPainter>
#include <QPainterPathStroker>
#include <QTransform>

#include <cmath>
#include <functional>
#include <map>

namespace velquist::Glyph {
namespace {

// Shapes are described in a unit square (y grows downward) but built at kUnit times that size:
// path operations flatten curves to a fixed tolerance, which at unit size would turn circles into
// octagons.
using Builder = std::function<QPainterPath(qreal stroke)>;
constexpr qreal kUnit = 100;

QPainterPath scaled(const QPainterPath& unitPath)
{
    return QTransform::fromScale(kUnit, kUnit).map(unitPath);
}

QPainterPath stroked(const QPainterPath& line, qreal width)
{
    QPainterPathStroker stroker;
    stroker.setWidth(width * kUnit);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(line).simplified();
}

QPainterPath polyline(std::initializer_list<QPointF> points)
{
    QPainterPath path;
    bool first = true;
    for (const QPointF& point : points) {
        if (first)
            path.moveTo(point * kUnit);
        else
            path.lineTo(point * kUnit);
        first = false;
    }
    return path;
}

QPainterPath circle(QPointF centre, qreal radius)
{
    QPainterPath path;
    path.addEllipse(centre * kUnit, radius * kUnit, radius * kUnit);
    return path;
}

QPainterPath ring(qreal stroke)
{
    return circle({0.5, 0.5}, 0.47).subtracted(circle({0.5, 0.5}, 0.47 - stroke));
}

QPainterPath checkLine(qreal scale = 1.0)
{
    const auto at = [scale](qreal x, qreal y) {
        return QPointF(0.5 + (x - 0.5) * scale, 0.5 + (y - 0.5) * scale);
    };
    return polyline({at(0.14, 0.54), at(0.4, 0.8), at(0.88, 0.22)});
}

QPainterPath rightArrowLine(qreal scale = 1.0)
{
    const auto at = [scale](qreal x, qreal y) {
        return QPointF(0.5 + (x - 0.5) * scale, 0.5 + (y - 0.5) * scale);
    };
    QPainterPath path = polyline({at(0.12, 0.5), at(0.86, 0.5)});
    path.addPath(polyline({at(0.54, 0.18), at(0.86, 0.5), at(0.54, 0.82)}));
    return path;
}

QPainterPath almond()
{
    QPainterPath path;
    path.moveTo(0.02, 0.5);
    path.quadTo(0.5, -0.02, 0.98, 0.5);
    path.quadTo(0.5, 1.02, 0.02, 0.5);
    path.closeSubpath();
    return scaled(path);
}

QPainterPath triangle()
{
    QPainterPath path;
    path.moveTo(0.5, 0.06);
    path.lineTo(0.97, 0.9);
    path.lineTo(0.03, 0.9);
    path.closeSubpath();
    return scaled(path);
}

QPainterPath exclamation(qreal stroke)
{
    QPainterPath mark = stroked(polyline({{0.5, 0.36}, {0.5, 0.6}}), stroke);
    return mark.united(circle({0.5, 0.76}, stroke * 0.6));
}

QPainterPath shield()
{
    QPainterPath path;
    path.moveTo(0.5, 0.02);
    path.lineTo(0.9, 0.16);
    path.lineTo(0.9, 0.5);
    path.quadTo(0.88, 0.84, 0.5, 0.98);
    path.quadTo(0.12, 0.84, 0.1, 0.5);
    path.lineTo(0.1, 0.16);
    path.closeSubpath();
    return scaled(path);
}

QPainterPath gear()
{
    QPainterPath path;
    const int teeth = 8;
    const double pi = std::acos(-1.0);
    for (int i = 0; i < teeth * 4; ++i) {
        const double angle = (i / double(teeth * 4)) * 2 * pi;
        const double radius = (i % 4 < 2) ? 0.48 : 0.38;
        const QPointF point(0.5 + radius * std::cos(angle), 0.5 + radius * std::sin(angle));
        if (i == 0)
            path.moveTo(point);
        else
            path.lineTo(point);
    }
    path.closeSubpath();
    return scaled(path).subtracted(circle({0.5, 0.5}, 0.15));
}

// An arc of a circle about the centre, from `start` through `span` degrees (counter-clockwise,
// zero at three o'clock), as an open line.
QPainterPath arc(qreal radius, qreal start, qreal span)
{
    QPainterPath path;
    const QRectF box((0.5 - radius) * kUnit, (0.5 - radius) * kUnit, 2 * radius * kUnit, 2 * radius * kUnit);
    path.arcMoveTo(box, start);
    path.arcTo(box, start, span);
    return path;
}

QPainterPath speaker()
{
    QPainterPath path;
    path.moveTo(0.04, 0.36);
    path.lineTo(0.22, 0.36);
    path.lineTo(0.46, 0.14);
    path.lineTo(0.46, 0.86);
    path.lineTo(0.22, 0.64);
    path.lineTo(0.04, 0.64);
    path.closeSubpath();
    return scaled(path);
}

// Two rounded links of a chain, crossing at the centre, tilted up to the right.
QPainterPath chain(qreal stroke)
{
    QPainterPath links;
    links.addRoundedRect(QRectF(0.02, 0.35, 0.56, 0.3), 0.15, 0.15);
    links.addRoundedRect(QRectF(0.42, 0.35, 0.56, 0.3), 0.15, 0.15);
    QTransform tilt;
    tilt.translate(0.5, 0.5);
    tilt.rotate(-45);
    tilt.translate(-0.5, -0.5);
    return stroked(scaled(tilt.map(links)), stroke * 0.8);
}

const std::map<QString, Builder>& builders()
{
    static const std::map<QString, Builder> table = {
        {"checkmark", [](qreal s) { return stroked(checkLine(), s); }},
        {"xmark",
         [](qreal s) {
             QPainterPath path = polyline({{0.18, 0.18}, {0.82, 0.82}});
             path.addPath(polyline({{0.82, 0.18}, {0.18, 0.82}}));
             return stroked(path, s);
         }},
        {"chevron.down",
         [](qreal s) {
             return stroked(polyline({{0.14, 0.34}, {0.5, 0.7}, {0.86, 0.34}}), s);
         }},
        {"chevron.right",
         [](qreal s) {
             return stroked(polyline({{0.34, 0.14}, {0.7, 0.5}, {0.34, 0.86}}), s);
         }},
        {"arrow.right", [](qreal s) { return stroked(rightArrowLine(), s); }},
        {"arrow.up",
         [](qreal s) {
             QPainterPath path = polyline({{0.5, 0.88}, {0.5, 0.14}});
             path.addPath(polyline({{0.18, 0.46}, {0.5, 0.14}, {0.82, 0.46}}));
             return stroked(path, s);
         }},
        {"arrow.right.circle",
         [](qreal s) { return ring(s * 0.8).united(stroked(rightArrowLine(0.55), s * 0.9)); }},
        {"arrow.right.circle.fill",
         [](qreal s) {
             return circle({0.5, 0.5}, 0.5).subtracted(stroked(rightArrowLine(0.55), s * 0.9));
         }},
        {"checkmark.circle", [](qreal s) { return ring(s * 0.8).united(stroked(checkLine(0.55), s * 0.9)); }},
        {"checkmark.circle.fill",
         [](qreal s) {
             return circle({0.5, 0.5}, 0.5).subtracted(stroked(checkLine(0.55), s * 0.9));
         }},
        {"checkmark.shield.fill",
         [](qreal s) { return shield().subtracted(stroked(checkLine(0.5), s * 0.9)); }},
        {"moon.fill",
         [](qreal) {
             return circle({0.5, 0.52}, 0.44).subtracted(circle({0.78, 0.3}, 0.36));
         }},
        {"paperplane.fill",
         [](qreal) {
             QPainterPath path;
             path.moveTo(0.04, 0.44);
             path.lineTo(0.96, 0.06);
             path.lineTo(0.6, 0.96);
             path.lineTo(0.46, 0.56);
             path.closeSubpath();
             return scaled(path);
         }},
        {"eye.fill",
         [](qreal s) {
             return almond().subtracted(circle({0.5, 0.5}, 0.22)).united(circle({0.5, 0.5}, 0.22 - s * 0.6));
         }},
        {"eye.slash",
         [](qreal s) {
             const QPainterPath pupil = circle({0.5, 0.5}, 0.2).subtracted(circle({0.5, 0.5}, 0.2 - s * 0.8));
             const QPainterPath outline = stroked(almond(), s * 0.8).united(pupil);
             QPainterPath slash = polyline({{0.12, 0.08}, {0.88, 0.92}});
             return outline.subtracted(stroked(slash, s * 1.8)).united(stroked(slash, s));
         }},
        {"eye.slash.fill",
         [](qreal s) {
             QPainterPath eye =
                 almond().subtracted(circle({0.5, 0.5}, 0.22)).united(circle({0.5, 0.5}, 0.22 - s * 0.6));
             QPainterPath slash = polyline({{0.12, 0.08}, {0.88, 0.92}});
             return eye.subtracted(stroked(slash, s * 1.8)).united(stroked(slash, s));
         }},
        {"exclamationmark.triangle",
         [](qreal s) { return stroked(triangle(), s * 0.8).united(exclamation(s * 0.9)); }},
        {"exclamationmark.triangle.fill",
         [](qreal s) { return triangle().subtracted(exclamation(s * 0.9)); }},
        {"pencil",
         [](qreal s) {
             QPainterPath body;
             body.moveTo(0.72, 0.1);
             body.lineTo(0.9, 0.28);
             body.lineTo(0.34, 0.84);
             body.lineTo(0.1, 0.9);
             body.lineTo(0.16, 0.66);
             body.closeSubpath();
             return stroked(scaled(body), s * 0.8);
         }},
        {"trash",
         [](qreal s) {
             QPainterPath can = polyline({{0.2, 0.26}, {0.26, 0.92}, {0.74, 0.92}, {0.8, 0.26}});
             can.addPath(polyline({{0.08, 0.24}, {0.92, 0.24}}));
             can.addPath(polyline({{0.36, 0.24}, {0.38, 0.08}, {0.62, 0.08}, {0.64, 0.24}}));
             return stroked(can, s * 0.8);
         }},
        {"play.circle",
         [](qreal s) {
             QPainterPath play;
             play.moveTo(0.4, 0.3);
             play.lineTo(0.72, 0.5);
             play.lineTo(0.4, 0.7);
             play.closeSubpath();
             return ring(s * 0.8).united(scaled(play));
         }},
        {"gearshape.fill", [](qreal) { return gear(); }},
        {"speaker.wave.2.fill",
         [](qreal s) {
             QPainterPath waves = arc(0.2, -50, 100);
             waves.addPath(arc(0.36, -50, 100));
             return speaker().united(stroked(QTransform::fromTranslate(0.08 * kUnit, 0).map(waves), s * 0.8));
         }},
        {"gauge.with.needle",
         [](qreal s) {
             QPainterPath dial = stroked(arc(0.42, -30, 240), s * 0.8);
             dial = dial.united(stroked(polyline({{0.5, 0.56}, {0.7, 0.32}}), s * 0.9));
             return dial.united(circle({0.5, 0.56}, 0.09));
         }},
        {"link", [](qreal s) { return chain(s); }},
        {"line.3.horizontal.decrease",
         [](qreal s) {
             QPainterPath lines = polyline({{0.1, 0.26}, {0.9, 0.26}});
             lines.addPath(polyline({{0.24, 0.5}, {0.76, 0.5}}));
             lines.addPath(polyline({{0.38, 0.74}, {0.62, 0.74}}));
             return stroked(lines, s);
         }},
    };
    return table;
}

} // namespace

bool exists(const QString& name)
{
    return builders().count(name) > 0;
}

QStringList names()
{
    QStringList result;
    for (const auto& entry : builders())
        result.push_back(entry.first);
    return result;
}

QPainterPath path(const QString& name, qreal side, bool bold)
{
    const auto found = builders().find(name);
    if (found == builders().end() || side <= 0)
        return {};
    // Thin strokes vanish at small sizes; keep them at least about a pixel wide.
    const qreal stroke = std::max(bold ? 0.15 : 0.1, 1.1 / side);
    return QTransform::fromScale(side / kUnit, side / kUnit).map(found->second(stroke));
}

void paint(QPainter& painter, const QRectF& box, const QString& name, const QColor& colour, bool bold)
{
    const qreal side = std::min(box.width(), box.height());
    const QPainterPath shape = path(name, side, bold);
    if (shape.isEmpty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(box.center() - QPointF(side / 2, side / 2));
    painter.fillPath(shape, colour);
    painter.restore();
}

} // namespace velquist::Glyph
