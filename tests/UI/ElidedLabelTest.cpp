#include "UI/ElidedLabel.h"
#include "UI/AuroraStyle.h"

#include <QFontMetricsF>
#include <gtest/gtest.h>

#include <functional>

using namespace velquist;

// The lines a label shows and the height it asks for follow every change of what it lays out,
// even when the width it is asked about stays the same.
TEST(ElidedLabel, HeightAndLinesFollowTextLinesAndFontAtTheSameWidth)
{
    const QString shortText = QStringLiteral("Reading files");
    const QString longText =
        QStringLiteral("Running the whole test suite of the service again after the last "
                       "change to the configuration of the build");
    struct Case
    {
        const char* name;
        std::function<void(ElidedLabel&)> change;
        int lines; // expected at the width below, after the change
    };
    const Case cases[] = {
        {"longer text", [&](ElidedLabel& label) { label.setFullText(longText); }, 3},
        {"fewer lines allowed", [](ElidedLabel& label) { label.setMaxLines(2); }, 2},
        {"shorter text", [&](ElidedLabel& label) { label.setFullText(shortText); }, 1},
        {"longer text again", [&](ElidedLabel& label) { label.setFullText(longText); }, 2},
        {"more lines allowed", [](ElidedLabel& label) { label.setMaxLines(3); }, 3},
        {"a larger font", [](ElidedLabel& label) { label.setFont(AuroraStyle::font(20)); }, 3},
    };
    constexpr int kWidth = 160;
    ElidedLabel label(shortText, AuroraStyle::font(11.5), Qt::white, 3);
    label.setAttribute(Qt::WA_DontShowOnScreen);
    label.show();
    label.resize(kWidth, label.heightForWidth(kWidth));
    ASSERT_EQ(label.heightForWidth(kWidth), qCeil(QFontMetricsF(label.font()).lineSpacing()));
    for (const Case& step : cases) {
        step.change(label);
        const int height = label.heightForWidth(kWidth);
        EXPECT_EQ(height, qCeil(QFontMetricsF(label.font()).lineSpacing() * step.lines)) << step.name;
        label.resize(kWidth + 1, height);
        label.resize(kWidth, height);
        EXPECT_EQ(label.text().count(QChar(u'\n')) + 1, step.lines) << step.name;
        EXPECT_EQ(label.text().split(QChar(u'\n')),
                  ElidedLabel::layoutLines(label.fullText(), label.font(), kWidth, step.lines))
            << step.name;
    }
}
