#include "CharacterArt.h"

#include <QColor>
#include <QPainter>
#include <cmath>
#include <functional>

namespace velquist::art {
namespace {

// The palette: a violet creature that reads well on the black bar.
const QColor kBody(0x9d, 0x8c, 0xff);
const QColor kOutline(0x3b, 0x2f, 0x86);
const QColor kHighlight(0xd4, 0xcc, 0xff);
const QColor kBlush(0xff, 0x8f, 0xb1);
const QColor kEyeWhite(0xff, 0xff, 0xff);
const QColor kPupil(0x1b, 0x14, 0x33);
const QColor kStem(0x6a, 0x5c, 0xd0);
const QColor kSleepTip(0x5a, 0x6b, 0x9a);
const QColor kWorkTip(0x5b, 0xe4, 0x9b);
const QColor kAlarmRed(0xff, 0x5a, 0x4e);
const QColor kAlarmYellow(0xff, 0xc8, 0x45);
const QColor kGold(0xff, 0xd8, 0x4a);
const QColor kBubble(0xa8, 0xd8, 0xff);

constexpr int kBodyWidth = 18;
constexpr int kBodyHeight = 14;
constexpr int kGround = 29; // the row the feet stand on

enum class Eyes { closed, open, wide, happy };

struct Pose
{
    int dx = 0;      // sideways shift of the whole creature
    int lift = 0;    // how far it is off the ground
    int stretch = 0; // extra body rows (breathing in)
    Eyes eyes = Eyes::open;
    int look = 0; // pupil shift: -1 left, 1 right
    bool mouthOpen = false;
    bool armsUp = false;
    int leftFootLift = 0;
    int rightFootLift = 0;
    QColor tip = kWorkTip;
    bool tipGlow = false;
};

// Plots single pixels of one frame.
class Frame
{
  public:
    explicit Frame(QImage& image) : m_image(image) {}

    void set(int x, int y, const QColor& color)
    {
        if (x >= 0 && y >= 0 && x < kFrameSide && y < kFrameSide)
            m_image.setPixelColor(x, y, color);
    }
    void rect(int x, int y, int w, int h, const QColor& color)
    {
        for (int row = y; row < y + h; ++row)
            for (int column = x; column < x + w; ++column)
                set(column, row, color);
    }

  private:
    QImage& m_image;
};

// How far each body row is drawn in from the sides, giving a rounded blob.
int inset(int row, int rows)
{
    if (row == 0)
        return 4;
    if (row == 1)
        return 2;
    if (row == 2)
        return 1;
    if (row == rows - 1)
        return 2;
    if (row == rows - 2)
        return 1;
    return 0;
}

void drawCreature(QImage& image, const Pose& pose)
{
    Frame frame(image);
    const int rows = kBodyHeight + pose.stretch;
    const int left = (kFrameSide - kBodyWidth) / 2 + pose.dx;
    const int bottom = kGround - 2 - pose.lift; // last body row
    const int top = bottom - rows + 1;
    const int centre = left + kBodyWidth / 2;

    auto inside = [&](int x, int y) {
        if (y < top || y > bottom)
            return false;
        const int in = inset(y - top, rows);
        return x >= left + in && x < left + kBodyWidth - in;
    };

    // Feet first, so the body overlaps their tops.
    frame.rect(centre - 6, bottom + 1 - pose.leftFootLift, 4, 2, kOutline);
    frame.rect(centre + 2, bottom + 1 - pose.rightFootLift, 4, 2, kOutline);

    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x < left + kBodyWidth; ++x) {
            if (!inside(x, y))
                continue;
            const bool edge =
                !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1);
            frame.set(x, y, edge ? kOutline : kBody);
        }
    }
    // A soft light from the upper left.
    frame.rect(left + 4, top + 2, 3, 1, kHighlight);
    frame.set(left + 3, top + 3, kHighlight);

    // Arms: stubs at the sides, raised for joy.
    const int armRow = top + rows / 2 + 1;
    if (pose.armsUp) {
        frame.rect(left - 2, armRow - 5, 2, 4, kOutline);
        frame.rect(left + kBodyWidth, armRow - 5, 2, 4, kOutline);
        frame.set(left - 1, armRow - 1, kOutline);
        frame.set(left + kBodyWidth, armRow - 1, kOutline);
    } else {
        frame.rect(left - 1, armRow, 2, 3, kOutline);
        frame.rect(left + kBodyWidth - 1, armRow, 2, 3, kOutline);
    }

    // Eyes.
    const int eyeRow = top + 4 + pose.stretch / 2;
    const int eyeLeft = centre - 5;
    const int eyeRight = centre + 2;
    for (int eyeX : {eyeLeft, eyeRight}) {
        switch (pose.eyes) {
        case Eyes::closed:
            frame.rect(eyeX, eyeRow + 2, 3, 1, kPupil);
            break;
        case Eyes::open:
            frame.rect(eyeX, eyeRow, 3, 4, kEyeWhite);
            frame.rect(eyeX + 1 + pose.look, eyeRow + 1, 2 - std::abs(pose.look), 2, kPupil);
            if (pose.look != 0)
                frame.rect(eyeX + (pose.look > 0 ? 2 : 0), eyeRow + 1, 1, 2, kPupil);
            break;
        case Eyes::wide:
            frame.rect(eyeX - 1, eyeRow - 1, 4, 5, kEyeWhite);
            frame.rect(eyeX, eyeRow + 1, 2, 2, kPupil);
            break;
        case Eyes::happy:
            frame.set(eyeX, eyeRow + 2, kPupil);
            frame.set(eyeX + 1, eyeRow + 1, kPupil);
            frame.set(eyeX + 2, eyeRow + 2, kPupil);
            break;
        }
    }
    // Cheeks and mouth.
    frame.rect(eyeLeft - 2, eyeRow + 4, 2, 1, kBlush);
    frame.rect(eyeRight + 3, eyeRow + 4, 2, 1, kBlush);
    if (pose.mouthOpen) {
        frame.rect(centre - 1, eyeRow + 5, 2, 2, kPupil);
    } else {
        frame.rect(centre - 1, eyeRow + 5, 2, 1, kPupil);
    }

    // Antenna: a stem and a glowing tip.
    frame.rect(centre, top - 3, 1, 3, kStem);
    frame.rect(centre - 1, top - 6, 2, 3, pose.tip);
    if (pose.tipGlow) {
        // Rays off the tip rather than a filled halo, which reads as a box on the black bar.
        QColor ray = pose.tip;
        ray.setAlpha(170);
        frame.set(centre - 3, top - 5, ray);
        frame.set(centre + 2, top - 5, ray);
        frame.set(centre - 3, top - 8, ray);
        frame.set(centre + 2, top - 8, ray);
        frame.set(centre, top - 8, ray);
    }
    frame.set(centre, top - 6, pose.tip.lighter(140));
}

void sparkle(QImage& image, int x, int y, const QColor& color)
{
    Frame frame(image);
    frame.set(x, y - 1, color);
    frame.set(x - 1, y, color);
    frame.set(x + 1, y, color);
    frame.set(x, y + 1, color);
    frame.set(x, y, kEyeWhite);
}

void bubble(QImage& image, int x, int y, int size)
{
    Frame frame(image);
    if (size <= 1) {
        frame.set(x, y, kBubble);
        return;
    }
    frame.rect(x, y, size, 1, kBubble);
    frame.rect(x, y + size - 1, size, 1, kBubble);
    frame.rect(x, y, 1, size, kBubble);
    frame.rect(x + size - 1, y, 1, size, kBubble);
}

QImage strip(int frames, const std::function<void(QImage&, int)>& draw)
{
    QImage sheet(kFrameSide * frames, kFrameSide, QImage::Format_ARGB32);
    sheet.fill(Qt::transparent);
    for (int index = 0; index < frames; ++index) {
        QImage frame(kFrameSide, kFrameSide, QImage::Format_ARGB32);
        frame.fill(Qt::transparent);
        draw(frame, index);
        QPainter painter(&sheet);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(index * kFrameSide, 0, frame);
    }
    return sheet;
}

QImage resting()
{
    // Asleep, breathing slowly, with bubbles rising beside the head.
    return strip(4, [](QImage& image, int index) {
        Pose pose;
        pose.eyes = Eyes::closed;
        pose.stretch = index == 1 || index == 2 ? 1 : 0;
        pose.tip = kSleepTip;
        drawCreature(image, pose);
        bubble(image, 24, 13 - index, 1);
        if (index >= 1)
            bubble(image, 26, 10 - index, 2);
        if (index >= 2)
            bubble(image, 28, 4 - (index - 2), 3);
    });
}

QImage active()
{
    // Busy: a quick trot with the eyes on the work and the tip blinking green.
    static const int lifts[] = {0, 1, 2, 1, 0, 0};
    return strip(6, [](QImage& image, int index) {
        Pose pose;
        pose.lift = lifts[index];
        pose.look = 1;
        pose.leftFootLift = index % 2 == 0 ? 1 : 0;
        pose.rightFootLift = index % 2 == 1 ? 1 : 0;
        pose.tip = kWorkTip;
        pose.tipGlow = index % 3 == 0;
        drawCreature(image, pose);
    });
}

QImage alert()
{
    // Someone waits: wide eyes, a shiver, arms up and a flashing tip.
    static const int shakes[] = {-1, 1, -1, 1};
    return strip(4, [](QImage& image, int index) {
        Pose pose;
        pose.dx = shakes[index];
        pose.eyes = Eyes::wide;
        pose.mouthOpen = true;
        pose.armsUp = index % 2 == 0;
        pose.tip = index % 2 == 0 ? kAlarmRed : kAlarmYellow;
        pose.tipGlow = true;
        drawCreature(image, pose);
    });
}

QImage celebrateJump()
{
    static const int lifts[] = {0, 3, 5, 6, 5, 2};
    return strip(6, [](QImage& image, int index) {
        Pose pose;
        pose.lift = lifts[index];
        pose.eyes = Eyes::happy;
        pose.mouthOpen = true;
        pose.armsUp = index >= 1 && index <= 4;
        pose.tip = kGold;
        pose.tipGlow = true;
        drawCreature(image, pose);
        if (index >= 2 && index <= 4) {
            sparkle(image, 3, 12 - index, kGold);
            sparkle(image, 28, 10 - index, kGold);
        }
    });
}

QImage celebrateWave()
{
    return strip(4, [](QImage& image, int index) {
        Pose pose;
        pose.eyes = Eyes::happy;
        pose.armsUp = index % 2 == 0;
        pose.dx = index == 1 ? 1 : index == 3 ? -1 : 0;
        pose.tip = kGold;
        pose.tipGlow = index % 2 == 0;
        drawCreature(image, pose);
        sparkle(image, index % 2 == 0 ? 4 : 27, 6 + index, kGold);
    });
}

} // namespace

std::vector<Sheet> drawDefaultPack()
{
    return {
        {"resting.png", resting()},
        {"active.png", active()},
        {"alert.png", alert()},
        {"celebrate-jump.png", celebrateJump()},
        {"celebrate-wave.png", celebrateWave()},
    };
}

QByteArray defaultManifest()
{
    return R"({
  "name": "Velq",
  "credit": "Drawn by Velquist's own build from code.",
  "frameWidth": 32,
  "frameHeight": 32,
  "animations": {
    "resting": { "file": "resting.png", "frames": 4, "fps": 3 },
    "active": { "sequence": [ { "file": "active.png", "frames": 6, "fps": 10 } ] },
    "alert": { "file": "alert.png", "frames": 4, "fps": 8 },
    "celebrating": {
      "sequence": [
        { "file": "celebrate-jump.png", "frames": 6, "fps": 12, "plays": 2 },
        { "file": "celebrate-wave.png", "frames": 4, "fps": 8 }
      ]
    }
  }
}
)";
}

} // namespace velquist::art
