#include "UI/Kit/AuroraSheet.h"
#include "UI/Kit/AuroraStyle.h"
#include "UI/Kit/Glyph.h"
#include "UI/Kit/MetaPill.h"
#include "UI/Kit/OptionRowButton.h"
#include "UI/Kit/Palette.h"
#include "UI/Kit/PrimaryCapsule.h"
#include "UI/Kit/SecondaryCapsule.h"
#include "UI/Kit/SplitCapsule.h"

#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace velquist {
namespace {

QImage render(QWidget& widget)
{
    widget.resize(widget.sizeHint().isValid() ? widget.sizeHint() : QSize(40, 20));
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    widget.render(&image, {}, {}, QWidget::DrawChildren);
    return image;
}

// The brightest pixel of the image, by lightness: where a light label is drawn.
QColor brightest(const QImage& image)
{
    QColor best = Qt::black;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor colour = image.pixelColor(x, y);
            if (colour.lightness() > best.lightness())
                best = colour;
        }
    return best;
}

TEST(StyleKit, SecondaryCapsuleDimsAndIgnoresPressesWhenDisabled)
{
    struct Case
    {
        bool enabled;
        int expectedClicks;
        double labelOpacity;
    };
    for (const Case& c : {Case{true, 1, 0.85}, Case{false, 0, 0.4}}) {
        SCOPED_TRACE(c.enabled);
        SecondaryCapsule capsule("Deny", "xmark", c.enabled);
        capsule.resize(capsule.sizeHint());
        QSignalSpy clicks(&capsule, &QAbstractButton::clicked);
        QTest::mouseClick(&capsule, Qt::LeftButton);
        EXPECT_EQ(clicks.count(), c.expectedClicks);
        // The label over black: its brightest pixel carries the label's opacity (plus the fill's).
        const double lightness = brightest(render(capsule)).lightnessF();
        EXPECT_NEAR(lightness, c.labelOpacity + 0.08 * (1 - c.labelOpacity), 0.08);
    }
}

TEST(StyleKit, PrimaryCapsuleDrawsDarkLabelOfTheSignalsHue)
{
    const QColor green = Palette::rgb(0.2, 0.8, 0.35);
    PrimaryCapsule capsule("Allow", "checkmark", green);
    QSignalSpy clicks(&capsule, &QAbstractButton::clicked);
    capsule.resize(capsule.sizeHint());
    QTest::mouseClick(&capsule, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);

    const QImage image = render(capsule);
    EXPECT_EQ(image.pixelColor(image.width() / 2, 2).rgb(), green.rgb())
        << "the capsule is filled with the signal";

    const QColor label = AuroraStyle::mixTowardBlack(green, 0.86);
    EXPECT_LT(label.lightnessF(), 0.2);
    EXPECT_NEAR(label.hueF(), green.hueF(), 0.05);
    EXPECT_EQ(label.alphaF(), 1.0);
}

TEST(StyleKit, PanelControlsTakeNoFocusAndItsMenusAreDark)
{
    QWidget panel;
    auto* capsule = new SplitCapsule(
        QStringLiteral("Allow"), AuroraStyle::systemOrange(), [] {},
        {{QStringLiteral("Allow for this session"), [] {}}}, {}, &panel);
    auto* row = new OptionRowButton(1, QStringLiteral("Yes"), {}, false, false, &panel);
    row->move(0, 40);
    panel.resize(300, 120);
    panel.show();
    panel.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&panel));
    for (QAbstractButton* button : {capsule->mainButton(), static_cast<QAbstractButton*>(row)}) {
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_FALSE(button->hasFocus()) << "a click leaves no focus rectangle behind";
    }
    EXPECT_EQ(capsule->menuButton()->focusPolicy(), Qt::NoFocus);

    QMenu& menu = *capsule->menu();
    menu.popup(QPoint(0, 0));
    const QImage shown = menu.grab().toImage();
    menu.hide();
    EXPECT_LT(shown.pixelColor(shown.width() / 2, shown.height() - 3).lightness(), 60)
        << "dark, as the panel";
    EXPECT_EQ(shown.pixelColor(0, 0).alpha() == 0 || !menu.mask().contains(QPoint(0, 0)), true)
        << "the corner is cut round";
}

TEST(StyleKit, MixTowardBlackEnds)
{
    const QColor orange = AuroraStyle::systemOrange();
    EXPECT_EQ(AuroraStyle::mixTowardBlack(orange, 1.0), QColor(Qt::black));
    const QColor same = AuroraStyle::mixTowardBlack(orange, 0.0);
    EXPECT_NEAR(same.redF(), orange.redF(), 0.01);
    EXPECT_NEAR(same.greenF(), orange.greenF(), 0.01);
    EXPECT_NEAR(same.blueF(), orange.blueF(), 0.01);
}

TEST(StyleKit, SheetDrawsItsBackdropBehindAnyContent)
{
    AuroraSheet sheet;
    sheet.resize(30, 20);
    QImage image(sheet.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    sheet.render(&image);
    EXPECT_EQ(image.pixelColor(0, 0).rgb(), AuroraStyle::sheet().rgb());
    EXPECT_EQ(image.pixelColor(29, 19).rgb(), AuroraStyle::sheet().rgb());
}

TEST(StyleKit, MetaPillTakesNoInputAndFitsItsText)
{
    MetaPill shortPill("plan", AuroraStyle::pillFill(), AuroraStyle::pillText());
    MetaPill longPill("claude-sonnet-4", AuroraStyle::pillFill(), AuroraStyle::pillText());
    EXPECT_TRUE(shortPill.testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_LT(shortPill.sizeHint().width(), longPill.sizeHint().width());
    EXPECT_EQ(shortPill.sizeHint().height(), longPill.sizeHint().height());
}

TEST(StyleKit, EveryNamedGlyphDrawsInsideItsBox)
{
    // The symbols the panel's views name.
    const QStringList used = {"checkmark",
                              "xmark",
                              "chevron.down",
                              "chevron.right",
                              "arrow.right",
                              "arrow.up",
                              "arrow.right.circle",
                              "arrow.right.circle.fill",
                              "checkmark.circle",
                              "checkmark.circle.fill",
                              "checkmark.shield.fill",
                              "moon.fill",
                              "paperplane.fill",
                              "eye.fill",
                              "eye.slash",
                              "eye.slash.fill",
                              "exclamationmark.triangle",
                              "exclamationmark.triangle.fill",
                              "pencil",
                              "trash",
                              "play.circle",
                              "gearshape.fill"};
    for (const QString& name : used)
        EXPECT_TRUE(Glyph::exists(name)) << name.toStdString();
    for (const QString& name : Glyph::names()) {
        SCOPED_TRACE(name.toStdString());
        const QRectF bounds = Glyph::path(name, 12).boundingRect();
        EXPECT_FALSE(bounds.isEmpty());
        EXPECT_TRUE(QRectF(-1, -1, 14, 14).contains(bounds));
    }
    EXPECT_FALSE(Glyph::exists("no.such.glyph"));
    EXPECT_TRUE(Glyph::path("no.such.glyph", 12).isEmpty());
}

TEST(StyleKit, FilledGlyphLetsTheBackdropShowThroughItsMark)
{
    QImage image(40, 40, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    QPainter painter(&image);
    Glyph::paint(painter, QRectF(0, 0, 40, 40), "checkmark.circle.fill", Qt::white);
    painter.end();
    // The circle is white at its edge and the check's stroke is cut out near its centre.
    EXPECT_EQ(image.pixelColor(20, 4), QColor(Qt::white));
    EXPECT_EQ(
        image.pixelColor(int(40 * 0.5 + (0.4 - 0.5) * 0.55 * 40), int(40 * 0.5 + (0.8 - 0.5) * 0.55 * 40)),
        QColor(Qt::black));
}

} // namespace
} // namespace velquist
