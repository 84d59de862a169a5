#include "UI/Kit/ElidedLabel.h"
#include "UI/Kit/AuroraStyle.h"

#include <QFont>
#include <QFontMetricsF>
#include <QtMath>
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
        // The lines shown follow at once, before any resize.
        EXPECT_EQ(label.text().split(QChar(u'\n')),
                  ElidedLabel::layoutLines(label.fullText(), label.font(), kWidth, step.lines))
            << step.name << " (before a resize)";
        label.resize(kWidth + 1, height);
        label.resize(kWidth, height);
        EXPECT_EQ(label.text().count(QChar(u'\n')) + 1, step.lines) << step.name;
        EXPECT_EQ(label.text().split(QChar(u'\n')),
                  ElidedLabel::layoutLines(label.fullText(), label.font(), kWidth, step.lines))
            << step.name;
    }
}

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
