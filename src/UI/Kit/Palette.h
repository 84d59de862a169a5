#pragma once

#include <QColor>
#include <QString>
#include <array>

namespace velquist {

// Every colour the application draws with, named by what it colours. Views take their colours
// from here, directly or through the kits that name them for their own widgets (AuroraStyle for
// the panel, SettingsStyle for the settings window, IntroStyle for the tour's card); a colour is
// changed here once, never as a number in a view.
namespace Palette {

// --- builders (for the tokens below and for colours computed from data) ------------------------
inline QColor white(qreal opacity)
{
    return QColor::fromRgbF(1, 1, 1, float(opacity));
}
inline QColor black(qreal opacity)
{
    return QColor::fromRgbF(0, 0, 0, float(opacity));
}
inline QColor rgb(qreal r, qreal g, qreal b, qreal a = 1)
{
    return QColor::fromRgbF(float(r), float(g), float(b), float(a));
}

// A colour as a style sheet writes it: "rgba(r, g, b, a)", each part 0-255.
inline QString css(const QColor& colour)
{
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(colour.red())
        .arg(colour.green())
        .arg(colour.blue())
        .arg(colour.alpha());
}
inline QColor white8(int alpha)
{
    return QColor(255, 255, 255, alpha);
}

// --- surfaces ----------------------------------------------------------------------------------
// The sheet's backdrop; also the tour card's surface and the mark's backdrop.
inline QColor sheet()
{
    return rgb(0.02, 0.02, 0.039);
}
// The notch itself, black like the screen's bezel, and its shadow.
inline QColor notch()
{
    return QColor(Qt::black);
}
inline QColor cardFill()
{
    return white(0.045);
}
inline QColor cardStroke()
{
    return white(0.08);
}
// The ring around a session mark's status pip.
inline QColor pipCollar()
{
    return white(0.1);
}
inline QColor pillFill()
{
    return white(0.07);
}
inline QColor pillText()
{
    return white(0.58);
}
// Recessed wells.
inline QColor wellFill()
{
    return black(0.34);
}
inline QColor wellStroke()
{
    return white(0.07);
}
inline QColor optionFill()
{
    return white(0.05);
}
inline QColor optionStroke()
{
    return white(0.07);
}
// A secondary capsule: faint fill, hairline outline, light label (dimmed when disabled).
inline QColor capsuleFill()
{
    return white(0.08);
}
inline QColor capsuleStroke()
{
    return white(0.1);
}
inline QColor capsuleLabel()
{
    return white(0.85);
}
inline QColor capsuleLabelDisabled()
{
    return white(0.4);
}
// A small tag behind a word (a tool detail's chip).
inline QColor chipFill()
{
    return white(0.1);
}
// A plan's code block and its inline code.
inline QColor codeBlockFill()
{
    return white(0.05);
}
inline QColor inlineCodeFill()
{
    return white(0.08);
}
// What a pressed capsule segment lays over its fill, and the line between its segments.
inline QColor pressShade()
{
    return black(0.12);
}
inline QColor capsuleDivider()
{
    return black(0.22);
}

// --- text and glyphs on the dark surfaces, brightest first -------------------------------------
// Titles, headings, glyphs on a coloured tile.
inline QColor textBright()
{
    return QColor(Qt::white);
}
inline QColor textPrimary()
{
    return white(0.92);
}
// An option's label in a tool's detail, a picked option's text.
inline QColor textEmphasis()
{
    return white(0.9);
}
// The body text of a card: plans, diffs, code.
inline QColor cardText()
{
    return white(0.86);
}
// Values in a tool's detail, an unpicked option's mark.
inline QColor textSoft()
{
    return white(0.8);
}
// The number inside the usage ring.
inline QColor ringNumber()
{
    return white(0.75);
}
inline QColor subagentText()
{
    return white(0.72);
}
// The time left, written across a usage bar.
inline QColor usageBarText()
{
    return white(0.7);
}
// Secondary texts and icons.
inline QColor secondary()
{
    return white(0.55);
}
// Quiet texts and glyphs: a context gauge below its warning, the snooze moon, a description.
inline QColor textFaint()
{
    return white(0.5);
}
// A plan list's bullets and numbers.
inline QColor listMarker()
{
    return white(0.45);
}
inline QColor sectionLabel()
{
    return white(0.42);
}
// Dark text on a bright accent.
inline QColor textOnAccent()
{
    return black(0.8);
}
inline QColor linkText()
{
    return rgb(0.55, 0.75, 1.0);
}

// --- lines, tracks and marks -------------------------------------------------------------------
// A gauge's empty track, a subagent list's rule, the empty list's ring.
inline QColor trackLine()
{
    return white(0.14);
}
// The soft glow around the empty list's ring, drawn four times.
inline QColor emptyRingGlow()
{
    return white(0.06 / 4);
}
inline QColor usageBarTrack()
{
    return white(0.1);
}
// A usage bar's fill while the usage is low.
inline QColor usageBarLow()
{
    return white(0.35);
}
// An option's mark while it is not picked.
inline QColor optionMark()
{
    return white(0.12);
}

// --- the desktop's accents, as the panel uses them for states ---------------------------------
inline QColor systemGreen()
{
    return rgb(0.204, 0.780, 0.349);
}
inline QColor systemOrange()
{
    return rgb(1.0, 0.584, 0.0);
}
inline QColor systemRed()
{
    return rgb(1.0, 0.231, 0.188);
}
inline QColor systemBlue()
{
    return rgb(0.0, 0.478, 1.0);
}

// Gauge thresholds shared by the context and usage gauges.
inline QColor gaugeGreen()
{
    return rgb(0.36, 0.82, 0.55);
}
inline QColor gaugeAmber()
{
    return rgb(1.0, 0.72, 0.28);
}
inline QColor gaugeRed()
{
    return rgb(1.0, 0.42, 0.28);
}

// A session's signal: overdue for an answer, working, waiting for input, idle.
inline QColor signalOverdue()
{
    return rgb(1.0, 0.42, 0.28);
}
inline QColor signalWorking()
{
    return rgb(0.91, 0.91, 0.91);
}
inline QColor signalWaiting()
{
    return rgb(0.35, 0.65, 1.0);
}
inline QColor signalIdle()
{
    return rgb(0.36, 0.36, 0.36);
}
// A tool call the user should look at twice.
inline QColor riskAmber()
{
    return rgb(1.0, 0.72, 0.3);
}
// The count badge on an agent's mark: its fill, outline and number.
inline QColor badgeFill()
{
    return rgb(1.0, 0.373, 0.341);
}
inline QColor badgeOutline()
{
    return QColor(Qt::black);
}

// A diff's removed and added lines: text and row fill.
inline QColor diffRemovedText()
{
    return rgb(1.0, 0.616, 0.616);
}
inline QColor diffRemovedFill()
{
    return rgb(1.0, 0.34, 0.34, 0.13);
}
inline QColor diffAddedText()
{
    return rgb(0.655, 0.953, 0.753);
}
inline QColor diffAddedFill()
{
    return rgb(0.29, 0.87, 0.5, 0.12);
}

// --- the agents' marks -------------------------------------------------------------------------
inline QColor brandClaude()
{
    return rgb(0.851, 0.467, 0.341);
}
inline QColor brandGemini()
{
    return rgb(0.192, 0.525, 1.0);
}
inline QColor brandQwen()
{
    return rgb(0.435, 0.412, 0.969);
}
// The marks drawn plain (Codex, Cursor, OpenCode).
inline QColor brandPlain()
{
    return QColor(Qt::white);
}
// The mark of an agent that has none of its own.
inline QColor brandUnknown()
{
    return rgb(0.62, 0.62, 0.62);
}

// --- text fields -------------------------------------------------------------------------------
inline QColor fieldText()
{
    return QColor(Qt::white);
}
inline QColor fieldPlaceholder()
{
    return QColor(255, 255, 255, qRound(0.32 * 255));
}

// --- the tray's mark ---------------------------------------------------------------------------
inline QColor trayMark()
{
    return QColor(Qt::white);
}
// On a light tray.
inline QColor trayMarkOnLight()
{
    return QColor(0x1d, 0x1d, 0x1f);
}

// --- the settings window -----------------------------------------------------------------------
inline QColor settingsWindow()
{
    return rgb(0.118, 0.118, 0.129);
}
inline QColor settingsSectionFill()
{
    return white(0.045);
}
inline QColor settingsSectionStroke()
{
    return white(0.08);
}
// The selected tab's backdrop.
inline QColor settingsSelection()
{
    return white(0.12);
}
// An unselected tab's tile backdrop.
inline QColor settingsTileFill()
{
    return white(0.06);
}
inline QColor switchTrackOff()
{
    return white(0.16);
}
inline QColor switchKnob()
{
    return white(0.96);
}
inline QColor switchKnobDisabled()
{
    return white(0.6);
}

// The mark drawn as a template, its colour replaced by whoever shows it.
inline QColor markTemplate()
{
    return QColor(Qt::black);
}

// --- the standard controls of the settings window (style sheet) -------------------------------
inline QColor controlText()
{
    return white8(235);
}
inline QColor controlFill()
{
    return white8(18);
}
inline QColor controlStroke()
{
    return white8(30);
}
// A picker's open list and a tooltip's backdrop.
inline QColor popupFill()
{
    return QColor(44, 44, 48);
}
inline QColor buttonFill()
{
    return white8(30);
}
inline QColor buttonStroke()
{
    return white8(22);
}
inline QColor buttonHover()
{
    return white8(42);
}
inline QColor buttonPressed()
{
    return white8(60);
}
// The label of a button that removes something.
inline QColor destructiveText()
{
    return QColor(255, 105, 97);
}
inline QColor scrollHandle()
{
    return white8(50);
}
inline QColor tooltipText()
{
    return QColor(Qt::white);
}
inline QColor tooltipStroke()
{
    return white8(40);
}
// Selections and focus outlines in a style sheet: the desktop's blue.
inline QColor selectionBlue()
{
    return QColor(0, 122, 255);
}

// --- the tray's menu (style sheet) -------------------------------------------------------------
inline QColor menuText()
{
    return white8(235);
}
inline QColor menuFill()
{
    return QColor(28, 28, 32);
}
inline QColor menuStroke()
{
    return white8(36);
}
inline QColor menuSelectedText()
{
    return QColor(Qt::white);
}
inline QColor menuDisabledText()
{
    return white8(95);
}
inline QColor menuSeparator()
{
    return white8(28);
}

// --- the tour's card ---------------------------------------------------------------------------
// The shadow under the floating card, before it is blurred.
inline QColor tourCardShadow()
{
    return QColor(0, 0, 0, int(0.55 * 255));
}
inline QColor tourHairline()
{
    return white(0.09);
}
// The four steps' colours, from the first to the last.
inline const std::array<QColor, 4>& tourDawn()
{
    static const std::array<QColor, 4> colours{rgb(0.561, 0.498, 0.839), rgb(0.741, 0.651, 0.847),
                                               rgb(0.91, 0.765, 0.69), rgb(0.969, 0.863, 0.722)};
    return colours;
}
// A step not reached yet.
inline QColor tourDawnSpent()
{
    return white(0.13);
}
inline QColor tourBody()
{
    return white(0.62);
}
inline QColor tourQuietLabel()
{
    return white(0.38);
}
inline QColor tourSecondaryLabel()
{
    return white(0.55);
}
// The call to action's gradient, top and bottom, its pressed shade and its outline.
inline QColor tourActionTop()
{
    return rgb(0.561, 0.373, 0.941);
}
inline QColor tourActionBottom()
{
    return rgb(0.416, 0.235, 0.878);
}
inline QColor tourActionPressed()
{
    return white(0.08);
}
inline QColor tourActionStroke()
{
    return white(0.18);
}
// The settings pane the accessibility guide draws: its fill, outline, breadcrumb, icon and name.
inline QColor guideFill()
{
    return white(0.055);
}
inline QColor guideStroke()
{
    return white(0.1);
}
inline QColor guideCrumb()
{
    return white(0.42);
}
inline QColor guideIcon()
{
    return white(0.55);
}
inline QColor guideName()
{
    return white(0.88);
}
// The guide's switch once it is on.
inline QColor guideSwitchOn()
{
    return rgb(0.196, 0.804, 0.294);
}

} // namespace Palette
} // namespace velquist
