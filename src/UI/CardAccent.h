#pragma once

#include "Platform/Clock.h"

#include <QColor>
#include <QRectF>
#include <optional>

class QPainter;

namespace velquist {

// The light of a session card in an accent colour: a faint tint behind it, an outline, and an even
// glow around it, optionally breathing. Every card gets the plain outline; without a colour
// nothing else shows.
struct CardAccent
{
    std::optional<QColor> color;
    bool breathes = false;

    static constexpr qreal kCornerRadius = 20;
    static constexpr qreal kGlowRadius = 13; // how far the glow reaches past the card
    static constexpr double kBreathPeriodSeconds = 2.6;

    // The intensity of a breathing accent at `now`: from 0.5 to 1.0 and back every 2.6 s, in
    // phase for every card on screen since it follows the wall clock. Pure.
    static double breathingLevel(Clock::WallTime now);
    // The intensity to paint at `now`: the breathing level, or 1.0 when not breathing.
    double level(Clock::WallTime now) const { return breathes ? breathingLevel(now) : 1.0; }
    // The intensity of the faint tint inside a card that is drawn once: a breathing card's tint
    // holds the middle of the breath (it moves by less than one step of colour), so only the glow
    // and the outline need redrawing as the card breathes.
    double steadyTintLevel() const { return breathes ? 0.75 : 1.0; }

    // The glow and tint, painted before the card's own fill; `card` is the card's shape.
    void paintBehind(QPainter& painter, const QRectF& card, double level) const;
    // The outlines, painted over the card's fill.
    void paintOutline(QPainter& painter, const QRectF& card, double level) const;

    // The parts of the above, for a card that keeps them apart: the glow outside the card, the
    // tint inside it, the plain outline every card has, and the outline in the accent colour.
    void paintGlow(QPainter& painter, const QRectF& card, double level) const;
    void paintTint(QPainter& painter, const QRectF& card, double level) const;
    static void paintPlainOutline(QPainter& painter, const QRectF& card);
    void paintColourOutline(QPainter& painter, const QRectF& card, double level) const;

    bool operator==(const CardAccent&) const = default;
};

} // namespace velquist
