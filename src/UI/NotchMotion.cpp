#include "UI/NotchMotion.h"

#include <QPointF>

namespace velquist::NotchMotion {

QEasingCurve presentation()
{
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(0.22, 1.0), QPointF(0.28, 1.0), QPointF(1.0, 1.0));
    return curve;
}

} // namespace velquist::NotchMotion
