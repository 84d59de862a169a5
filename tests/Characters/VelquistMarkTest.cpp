#include "Characters/VelquistMark.h"

#include <QImage>
#include <gtest/gtest.h>

using namespace velquist;

TEST(VelquistMark, FitsCentredAndKeepsItsProportions)
{
    struct Case
    {
        QRectF rect;
        double unit;
        QRectF bounds; // the six rectangles together
    };
    const Case cases[] = {
        {QRectF(0, 0, 18, 15), 0.625, QRectF(0.25, 0, 17.5, 15)},
        {QRectF(0, 0, 28, 28), 1, QRectF(0, 2, 28, 24)},
        {QRectF(10, 20, 56, 24), 1, QRectF(24, 20, 28, 24)},
        {QRectF(0, 0, 280, 240), 10, QRectF(0, 0, 280, 240)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rect.width());
        EXPECT_DOUBLE_EQ(VelquistMark::unit(c.rect), c.unit);
        QRectF bounds;
        for (const QRectF& r : VelquistMark::placedRects(c.rect))
            bounds = bounds.united(r);
        EXPECT_NEAR(bounds.left(), c.bounds.left(), 1e-9);
        EXPECT_NEAR(bounds.top(), c.bounds.top(), 1e-9);
        EXPECT_NEAR(bounds.width(), c.bounds.width(), 1e-9);
        EXPECT_NEAR(bounds.height(), c.bounds.height(), 1e-9);
    }
}

TEST(VelquistMark, EarsOnTopChinBelowAndGapsBetween)
{
    const auto placed = VelquistMark::placedRects(QRectF(0, 0, 28, 24));
    struct Case
    {
        const char* name;
        QRectF rect;
    };
    const Case cases[] = {
        {"left ear", QRectF(4, 0, 4, 4)},  {"right ear", QRectF(20, 0, 4, 4)},
        {"left brow", QRectF(4, 4, 8, 4)}, {"right brow", QRectF(16, 4, 8, 4)},
        {"head", QRectF(0, 8, 28, 12)},    {"chin", QRectF(4, 20, 20, 4)},
    };
    for (std::size_t i = 0; i < placed.size(); ++i)
        EXPECT_EQ(placed[i], cases[i].rect) << cases[i].name;
}

TEST(VelquistMark, ImagesAtTheirSizes)
{
    const QImage menu = VelquistMark::menuBarImage(15);
    EXPECT_EQ(menu.size(), QSize(18, 15));
    const QImage sharp = VelquistMark::menuBarImage(15, 2);
    EXPECT_EQ(sharp.size(), QSize(36, 30));
    EXPECT_EQ(sharp.deviceIndependentSize(), QSizeF(18, 15));
    // Ears in the top row, the gap between them empty, the chin's corners empty.
    const auto alphaAt = [&](double x, double y) { return qAlpha(sharp.pixel(int(x * 2), int(y * 2))); };
    EXPECT_EQ(alphaAt(0.25 + 6 * 0.625, 0.5), 255);
    EXPECT_EQ(alphaAt(9, 0.5), 0);
    EXPECT_EQ(alphaAt(0.5, 14.5), 0);
    EXPECT_EQ(alphaAt(9, 14.5), 255);

    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        SCOPED_TRACE(size);
        const QImage app = VelquistMark::applicationImage(size);
        EXPECT_EQ(app.size(), QSize(size, size));
        EXPECT_GT(qAlpha(app.pixel(size / 2, size / 2)), 0);
        EXPECT_EQ(qAlpha(app.pixel(0, 0)), 0) << "the tile's corners are round";
        const QImage status = VelquistMark::statusImage(size, Qt::white);
        EXPECT_EQ(qAlpha(status.pixel(size / 2, size / 2)), 255);
        EXPECT_EQ(qAlpha(status.pixel(0, 0)), 0);
    }
}
