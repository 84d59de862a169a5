#include "UI/CodeWell.h"

#include <QApplication>

#include <gtest/gtest.h>

using namespace velquist;

// Heights of wells at a width, against the cap: a long text is measured from its start when that
// is enough, and whole when its start does not reach the cap.
TEST(CodeWellTest, HeightFollowsTheTextUpToTheCap)
{
    constexpr int kCap = 138;
    struct Case
    {
        const char* name;
        QString text;
        int width;
        bool capped;
    };
    const Case cases[] = {
        {"one short line", QStringLiteral("make test"), 380, false},
        {"a long run without a break", QString(8000, QChar('s')), 380, true},
        {"many short lines", QStringLiteral("line\n").repeated(400), 380, true},
        // Longer than the start that is laid out first, yet on one line at this width.
        {"a long line on a wide well", QString(1500, QChar('a')), 200000, false},
        // Its start stays on one line; what follows reaches the cap.
        {"a long line, then many", QString(1500, QChar('a')) + QStringLiteral("\nx").repeated(30), 200000,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CodeWell well(c.text, true, kCap);
        const int height = well.heightForWidth(c.width);
        if (c.capped) {
            EXPECT_EQ(height, kCap);
            well.resize(c.width, height);
            well.show();
            QApplication::processEvents();
            EXPECT_TRUE(well.scrolls());
        } else {
            // Both texts take one line at their width.
            EXPECT_EQ(height, CodeWell(QStringLiteral("x"), true, kCap).heightForWidth(c.width));
        }
    }
}
