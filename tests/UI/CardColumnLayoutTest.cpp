#include "UI/CardColumnLayout.h"
#include "UI/Kit/ElidedLabel.h"

#include <QFont>
#include <QFontMetricsF>
#include <QWidget>
#include <QtMath>
#include <gtest/gtest.h>

using namespace velquist;

namespace {

int lineHeight(const QFont& font)
{
    return qCeil(QFontMetricsF(font).lineSpacing());
}

} // namespace

// The column keeps the size it measured until a row asks to be laid out again.
TEST(CardColumnLayoutTest, ARowThatGrowsIsMeasuredAgain)
{
    QFont font;
    font.setPixelSize(12);
    QWidget box;
    box.resize(200, 400);
    auto* column = new CardColumnLayout(&box);
    auto* first = new ElidedLabel("one line", font, Qt::white, 4);
    auto* second = new ElidedLabel("one line", font, Qt::white, 4);
    column->insertWidget(0, first);
    column->insertWidget(1, second);
    box.show();
    const int before = column->sizeHint().height();
    EXPECT_EQ(before, 2 * lineHeight(font));

    second->setFullText(QString("the quick brown fox jumps over the lazy dog ").repeated(12));
    EXPECT_GT(column->sizeHint().height(), before);
}
