#include "UI/NotchBody.h"
#include "UI/CollapsedBarView.h"
#include "UI/NotchMotion.h"
#include "UI/NotchShape.h"

#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using namespace velquist;

namespace {

NotchGeometry geometry(qreal gap = 185, qreal barHeight = 32)
{
    NotchGeometry g;
    g.centerGapWidth = gap;
    g.barHeight = barHeight;
    return g;
}

// Content of a fixed natural height.
QWidget* content(int height)
{
    auto* widget = new QWidget;
    auto* layout = new QVBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* filler = new QWidget;
    filler->setFixedHeight(height);
    layout->addWidget(filler);
    return widget;
}

struct Body
{
    explicit Body(NotchGeometry g = geometry()) : body(g, new CollapsedBarView(g))
    {
        body.setAnimated(false);
        body.resize(int(g.openWidth()) + 80, 600);
        QObject::connect(&body, &NotchBody::sheetHeightChanged, &body, &NotchBody::setSheetHeight);
    }
    NotchBody body;
};

QImage render(QWidget& widget)
{
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    widget.render(&image);
    return image;
}

} // namespace

TEST(NotchShapeTest, OutlineFollowsTheRadii)
{
    const QPainterPath path = NotchShape::path(QRectF(0, 0, 200, 40), 8, 12);
    const QRectF bounds = path.boundingRect();
    EXPECT_EQ(bounds, QRectF(0, 0, 200, 40));
    EXPECT_TRUE(path.contains(QPointF(100, 20)));
    EXPECT_TRUE(path.contains(QPointF(4, 0.3))) << "the top edge spans the full width";
    EXPECT_TRUE(path.contains(QPointF(196, 0.3)));
    EXPECT_FALSE(path.contains(QPointF(4, 20))) << "the sides are inset by the top radius";
    EXPECT_FALSE(path.contains(QPointF(9, 39.5))) << "the bottom corner is rounded";
    EXPECT_TRUE(path.contains(QPointF(100, 39.5)));

    // Radii too large for the rectangle are reduced instead of folding the outline.
    const QPainterPath tiny = NotchShape::path(QRectF(0, 0, 20, 10), 12, 30);
    EXPECT_TRUE(QRectF(0, 0, 20, 10).contains(tiny.boundingRect()));
    EXPECT_FALSE(NotchShape::path(QRectF(0, 0, 0, 0), 12, 30).boundingRect().isValid() &&
                 NotchShape::path(QRectF(0, 0, 0, 0), 12, 30).boundingRect().width() > 0);
}

TEST(NotchBodyTest, CollapsedAndOpenForms)
{
    Body b;
    NotchBody& body = b.body;
    body.setCollapsedWidth(233);
    body.setSheetContent(content(300));
    EXPECT_EQ(body.bodyRect().width(), 233);
    EXPECT_EQ(body.bodyRect().height(), 32) << "collapsed: sheet height 0";
    EXPECT_EQ(body.topRadius(), 8);
    EXPECT_EQ(body.bottomRadius(), 12);
    EXPECT_EQ(body.shadowOpacity(), 0);

    body.setOpen(true);
    EXPECT_EQ(body.bodyRect().width(), 760);
    EXPECT_EQ(body.bodyRect().height(), 32 + 300);
    EXPECT_EQ(body.topRadius(), 12);
    EXPECT_EQ(body.bottomRadius(), 30);
    EXPECT_NEAR(body.shadowOpacity(), 0.55, 1e-9);
    EXPECT_EQ(body.bodyRect().center().x(), body.width() / 2.0) << "hangs centred";

    const QImage image = render(body);
    const QPointF inside = body.bodyRect().center();
    EXPECT_NE(image.pixelColor(inside.toPoint()), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(2, 590), QColor(Qt::white)) << "nothing painted far outside the body";
}

TEST(NotchBodyTest, OpenWidthIsAtLeast760)
{
    for (const auto& [gap, width] : std::vector<std::pair<qreal, qreal>>{{700 - 256, 760}, {600, 856}}) {
        Body b(geometry(gap));
        b.body.setOpen(true);
        EXPECT_EQ(b.body.bodyRect().width(), width) << gap;
    }
}

TEST(NotchBodyTest, SheetFollowsItsContentAndAcceptsZero)
{
    Body b;
    NotchBody& body = b.body;
    body.setOpen(true);
    QSignalSpy reports(&body, &NotchBody::sheetHeightChanged);
    auto* sheet = content(200);
    body.setSheetContent(sheet);
    EXPECT_EQ(body.bodyRect().height(), 32 + 200);

    body.setSheetContent(nullptr);
    EXPECT_EQ(reports.last().at(0).toReal(), 0.0);
    EXPECT_EQ(body.bodyRect().height(), 32) << "no empty sheet left at the old height";

    // Taller content than the panel can hold is cut at the panel's maximum height.
    body.setSheetContent(content(900));
    EXPECT_EQ(body.bodyRect().height(), 560);
}

TEST(NotchBodyTest, ConcealedBodyIsTransparentAndLetsClicksThrough)
{
    Body b;
    b.body.setConcealed(true);
    EXPECT_EQ(b.body.opacity(), 0);
    EXPECT_TRUE(b.body.testAttribute(Qt::WA_TransparentForMouseEvents));
    b.body.setConcealed(false);
    EXPECT_EQ(b.body.opacity(), 1);
    EXPECT_FALSE(b.body.testAttribute(Qt::WA_TransparentForMouseEvents));
}

TEST(NotchBodyTest, AnimationRunsOnTheMotionCurveAndRestartsFromWhereItIs)
{
    NotchGeometry g = geometry();
    NotchBody body(g, new CollapsedBarView(g));
    body.resize(840, 600);
    body.setCollapsedWidth(185);
    body.setOpen(true);
    body.seek(100);
    const qreal midway = body.bodyRect().width();
    const QEasingCurve curve = NotchMotion::presentation();
    EXPECT_NEAR(midway, 185 + (760 - 185) * curve.valueForProgress(0.1), 0.5);
    EXPECT_NEAR(body.topRadius(), 8 + 4 * curve.valueForProgress(0.1), 0.01);

    // Closing starts from the width reached, not from the open width.
    body.setOpen(false);
    EXPECT_EQ(body.bodyRect().width(), midway);
    body.seek(500);
    EXPECT_NEAR(body.bodyRect().width(), midway + (185 - midway) * curve.valueForProgress(0.5), 0.5);
    body.seek(1000);
    EXPECT_EQ(body.bodyRect().width(), 185);
    EXPECT_EQ(body.topRadius(), 8);
}

TEST(NotchBodyTest, BarClickIsForwarded)
{
    Body b;
    QSignalSpy clicks(&b.body, &NotchBody::barClicked);
    QTest::mouseClick(b.body.bar(), Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_EQ(clicks.count(), 1);
}
