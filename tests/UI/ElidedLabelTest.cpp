#include "UI/ElidedLabel.h"

#include <QFont>
#include <QFontMetricsF>
#include <QtMath>
#include <gtest/gtest.h>

using namespace velquist;

namespace {

const QString kLong = QString("the quick brown fox jumps over the lazy dog ").repeated(12);

int lineHeight(const QFont& font)
{
    return qCeil(QFontMetricsF(font).lineSpacing());
}

} // namespace

// A label keeps what it measured: every change that alters its lines must be seen all the same.
TEST(ElidedLabelTest, MeasuredHeightFollowsTextLinesAndFont)
{
    QFont font;
    font.setPixelSize(12);
    ElidedLabel label("short", font, Qt::white, 3);
    const int width = 200;
    EXPECT_EQ(label.heightForWidth(width), lineHeight(font));

    label.setFullText(kLong);
    EXPECT_EQ(label.heightForWidth(width), qCeil(QFontMetricsF(font).lineSpacing() * 3));
    // Asked at other widths in between, the first answer is still right.
    EXPECT_GT(label.heightForWidth(20000), 0);
    EXPECT_EQ(label.heightForWidth(width), qCeil(QFontMetricsF(font).lineSpacing() * 3));

    label.setMaxLines(1);
    EXPECT_EQ(label.heightForWidth(width), lineHeight(font));

    QFont larger = font;
    larger.setPixelSize(24);
    label.setFont(larger);
    EXPECT_EQ(label.heightForWidth(width), lineHeight(larger));
    EXPECT_EQ(label.sizeHint().height(), lineHeight(larger));
}
