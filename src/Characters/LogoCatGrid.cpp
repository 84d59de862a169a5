#include "Characters/LogoCatGrid.h"

#include <algorithm>
#include <cmath>

namespace velquist {

std::string_view toString(LogoCatExpression expression)
{
    switch (expression) {
    case LogoCatExpression::greeting:
        return "greeting";
    case LogoCatExpression::working:
        return "working";
    case LogoCatExpression::alert:
        return "alert";
    case LogoCatExpression::sleepy:
        return "sleepy";
    case LogoCatExpression::delighted:
        return "delighted";
    case LogoCatExpression::asking:
        return "asking";
    }
    return "greeting";
}

namespace LogoCatGrid {
namespace {

using E = LogoCatExpression;

void add(std::vector<Cell>& out, double x, double y, double w, double h, Colour colour, double opacity = 1)
{
    out.push_back(Cell{x, y, w, h, colour, opacity});
}

void addProps(std::vector<Cell>& out, E expression, const Pose& pose)
{
    switch (expression) {
    case E::greeting:
    case E::asking:
        add(out, -4, 18 + pose.paw + pose.bob, 4, 10, Colours::shade);
        add(out, -4, 14 + pose.paw + pose.bob, 4, 4, Colours::fur);
        break;
    case E::working:
        break;
    case E::alert:
        add(out, 38, -8 + pose.bob, 3, 7, Colours::accent);
        add(out, 38, -0.5 + pose.bob, 3, 3, Colours::accent);
        break;
    case E::sleepy: {
        const auto first = zeds(0, pose.drift, pose.bob);
        const auto second = zeds(1, std::fmod(pose.drift + 0.5, 1.0), pose.bob);
        out.insert(out.end(), first.begin(), first.end());
        out.insert(out.end(), second.begin(), second.end());
        break;
    }
    case E::delighted: {
        const auto twinkles = sparkles(pose.sparkle, pose.bob);
        out.insert(out.end(), twinkles.begin(), twinkles.end());
        break;
    }
    }
}

} // namespace

Eyes eyeState(LogoCatExpression expression, bool isBlinking)
{
    switch (expression) {
    case E::greeting:
    case E::sleepy:
    case E::delighted:
        return Eyes::closed;
    case E::working:
        return isBlinking ? Eyes::closed : Eyes::lowered;
    case E::alert:
        return isBlinking ? Eyes::closed : Eyes::wide;
    case E::asking:
        return isBlinking ? Eyes::closed : Eyes::open;
    }
    return Eyes::open;
}

std::vector<Cell> cells(LogoCatExpression expression, const Pose& pose)
{
    std::vector<Cell> out;
    out.reserve(27);
    const double b = pose.bob;

    const double e = expression == E::alert ? -1.5 : expression == E::sleepy ? 1.5 : 0;
    add(out, 4, e + b, 4, 4, Colours::fur);
    add(out, 28, e + b, 4, 4, Colours::fur);
    add(out, 4, e + 4 + b, 4, 4, Colours::fur);
    add(out, 8, e + 4 + b, 4, 4, Colours::innerEar);
    add(out, 24, e + 4 + b, 4, 4, Colours::innerEar);
    add(out, 28, e + 4 + b, 4, 4, Colours::fur);

    add(out, 0, 8 + b, 32, 16, Colours::fur);
    add(out, 32, 8 + b, 4, 16, Colours::shade);
    add(out, 4, 24 + b, 24, 4, Colours::fur);
    add(out, 28, 24 + b, 4, 4, Colours::shade);
    add(out, 4, 16 + b, 4, 4, Colours::leftCheek);
    add(out, 28, 16 + b, 4, 4, Colours::rightCheek);

    switch (eyeState(expression, pose.isBlinking)) {
    case Eyes::open:
        add(out, 8, 12 + b, 4, 4, Colours::eye);
        add(out, 24, 12 + b, 4, 4, Colours::eye);
        break;
    case Eyes::lowered:
        add(out, 8, 13 + b, 4, 4, Colours::eye);
        add(out, 24, 13 + b, 4, 4, Colours::eye);
        break;
    case Eyes::wide:
        add(out, 8, 12 + b, 4, 4, Colours::eye);
        add(out, 24, 12 + b, 4, 4, Colours::eye);
        add(out, 10, 12 + b, 2, 2, Colours::highlight);
        add(out, 26, 12 + b, 2, 2, Colours::highlight);
        break;
    case Eyes::closed:
        add(out, 8, 14 + b, 4, 2, Colours::eye);
        add(out, 24, 14 + b, 4, 2, Colours::eye);
        break;
    }

    const double m = (expression == E::greeting || expression == E::delighted) ? -1 : 0;
    add(out, 17, 17 + b, 2, 2, Colours::nose);
    add(out, 15, 19 + m + b, 2, 2, Colours::mouth);
    add(out, 19, 19 + m + b, 2, 2, Colours::mouth);

    addProps(out, expression, pose);
    return out;
}

std::vector<Cell> zeds(int index, double phase, double bob)
{
    const double s = index == 0 ? 1 : 0.66;
    const double width = 8 * s;
    const double stroke = 2 * s;
    const double x = 4 * phase + 5 * index + 32;
    const double y = bob - 2 - 7 * phase;
    const double alpha = std::min(phase / 0.2, 1.0) * std::min((1 - phase) / 0.35, 1.0);

    std::vector<Cell> out;
    add(out, x, y, width, stroke, Colours::accent, alpha);
    add(out, x, y + width - stroke, width, stroke, Colours::accent, alpha);
    for (int k = 1; y + (k + 1) * stroke <= y + width - stroke; ++k)
        add(out, x + width - (k + 1) * stroke, y + k * stroke, stroke, stroke, Colours::accent, alpha);
    return out;
}

std::vector<Cell> sparkles(double sparkle, double bob)
{
    struct Twinkle
    {
        double cx, cy, size, phase;
    };
    static constexpr std::array<Twinkle, 3> kTwinkles{
        {{-5, 2, 3.5, 0}, {38, -3, 2.6, 0.5}, {36, 20, 2, 0.25}}};
    std::vector<Cell> out;
    for (const Twinkle& t : kTwinkles) {
        const double nearness = 1 - std::abs(sparkle - t.phase);
        const double arm = t.size * (0.45 * nearness + 0.55);
        const double thickness = std::max(0.32 * arm, 0.9);
        const double alpha = 0.65 * nearness + 0.35;
        add(out, t.cx - arm / 2, t.cy + bob - thickness / 2, arm, thickness, Colours::accent, alpha);
        add(out, t.cx - thickness / 2, t.cy + bob - arm / 2, thickness, arm, Colours::accent, alpha);
    }
    return out;
}

QRect pixelRect(const Cell& cell, double scale)
{
    // std::round rounds halves away from zero, so a block at -0.5 lands like one at 0.5 mirrored.
    const auto whole = [](double value) { return int(std::round(value)); };
    return QRect(whole((cell.x - kWindowLeft) * scale), whole((cell.y - kWindowTop) * scale),
                 std::max(whole(cell.width * scale), 1), std::max(whole(cell.height * scale), 1));
}

} // namespace LogoCatGrid
} // namespace velquist
