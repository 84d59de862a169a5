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

// Rows 40 tall, each card 20 below the last (their 10-line margins overlap): row n covers lines
// 20n to 20n + 39 of a column without padding.
TEST(CardColumnLayoutTest, FindsTheRowsOverlappingALineRangeFromTheirLastPlaces)
{
    QWidget box;
    auto* column = new CardColumnLayout(&box);
    column->setGap(-20);
    std::vector<QWidget*> rows;
    for (int index = 0; index < 10; ++index) {
        rows.push_back(new QWidget);
        rows.back()->setFixedHeight(40);
        column->insertWidget(index, rows.back());
    }
    EXPECT_FALSE(column->rowsWithin(0, 100).has_value()) << "not laid out yet";
    column->setGeometry(QRect(0, 0, 200, 400));

    const struct
    {
        int top, bottom, first, end;
    } cases[] = {
        {0, 0, 0, 1},      {0, 19, 0, 1},     {0, 20, 0, 2},      {39, 40, 0, 3},  {100, 139, 4, 7},
        {199, 500, 8, 10}, {219, 219, 9, 10}, {220, 230, 10, 10}, {-50, -1, 0, 0},
    };
    for (const auto& c : cases) {
        const auto range = column->rowsWithin(c.top, c.bottom);
        ASSERT_TRUE(range.has_value());
        EXPECT_EQ(*range, std::pair(c.first, c.end)) << c.top << ".." << c.bottom;
    }

    rows[3]->hide();
    column->setGeometry(QRect(0, 0, 200, 400));
    // Rows 0 to 2 keep their places, row 4 takes the hidden row's: line 60 is in rows 2 and 4, and
    // the range may name the hidden row between them.
    EXPECT_EQ(column->rowsWithin(60, 60), std::pair(2, 5));
    EXPECT_EQ(column->rowsWithin(50, 50), std::pair(1, 3));

    delete column->takeAt(0);
    EXPECT_FALSE(column->rowsWithin(0, 100).has_value()) << "rows moved since they were placed";
}
