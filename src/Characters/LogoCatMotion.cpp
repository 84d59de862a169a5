#include "Characters/LogoCatMotion.h"

#include "UI/Kit/SpringValue.h"

#include <QEasingCurve>
#include <cmath>

namespace velquist::LogoCatMotion {
namespace {

using E = LogoCatExpression;

double linearRepeat(double seconds, double duration)
{
    return std::fmod(std::max(seconds, 0.0), duration) / duration;
}

} // namespace

double easeInOut(double progress)
{
    static const QEasingCurve curve = [] {
        QEasingCurve c(QEasingCurve::BezierSpline);
        c.addCubicBezierSegment(QPointF(0.42, 0), QPointF(0.58, 1), QPointF(1, 1));
        return c;
    }();
    return curve.valueForProgress(std::clamp(progress, 0.0, 1.0));
}

double reversing(double seconds, double duration)
{
    const double phase = std::fmod(std::max(seconds, 0.0), 2 * duration) / duration;
    return easeInOut(phase <= 1 ? phase : 2 - phase);
}

double spring(double seconds, double response)
{
    return SpringValue::progress(seconds, response);
}

LogoCatGrid::Pose pose(LogoCatExpression expression, double seconds, bool reduceMotion)
{
    LogoCatGrid::Pose p;
    if (reduceMotion) {
        p.sparkle = expression == E::delighted ? 1 : 0;
        return p;
    }
    switch (expression) {
    case E::greeting:
        p.paw = -3 * reversing(seconds, 0.42);
        p.bob = -1 * reversing(seconds, 0.84);
        break;
    case E::working:
        p.bob = -1 * reversing(seconds, 1.0);
        break;
    case E::alert:
        p.bob = -2 * spring(seconds, 0.32);
        break;
    case E::sleepy:
        p.bob = -1 * reversing(seconds, 2.4);
        p.drift = linearRepeat(seconds, 2.6);
        break;
    case E::asking:
        p.paw = -3 * spring(seconds, 0.4);
        p.bob = -1 * reversing(seconds, 1.4);
        break;
    case E::delighted:
        p.bob = -2.5 * reversing(seconds, 0.5);
        p.sparkle = reversing(seconds, 1.1);
        break;
    }
    return p;
}

bool blinks(LogoCatExpression expression, bool reduceMotion)
{
    return !reduceMotion && (expression == E::working || expression == E::alert || expression == E::asking);
}

} // namespace velquist::LogoCatMotion
