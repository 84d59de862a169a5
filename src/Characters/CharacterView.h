#pragma once

#include "Characters/CharacterFrames.h"
#include "Characters/CharacterMood.h"
#include "Characters/NotchCharacter.h"
#include "Characters/SpriteAnimator.h"
#include "Core/Scheduler.h"
#include "Platform/Clock.h"

#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QRectF>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

class QThreadPool;

namespace velquist {

// Draws one pack in one mood inside a square: the mood's sheets cut into frames, stepped on a
// timer at the pace the manifest asks for, or a still first frame while inactive. Every mood's
// frames are cut once when the pack changes (on the worker pool when one is given, and the square
// stays empty until they arrive); a change of mood only switches between them. The widget repaints
// only when the picture shown changes, and copies each frame from a picture scaled once.
class CharacterView final : public QWidget
{
    Q_OBJECT
  public:
    // The timer never ticks faster than this, whatever the manifest asks.
    static constexpr double kMaxSamplingFPS = 60;
    // A manifest's scale is honoured up to this factor.
    static constexpr double kMaxScale = 8;

    CharacterView(Clock& clock, Scheduler& scheduler, QWidget* parent = nullptr);

    // Where packs are decoded from now on; none decodes them on the calling thread.
    void setWorkers(QThreadPool* workers) { m_workers = workers; }

    // None draws nothing. A different pack (by id) recomputes the content box and recuts frames.
    void setCharacter(const std::optional<NotchCharacter>& character);
    // Switches to the new mood's frames and starts its animation from the beginning.
    void setMood(CharacterMood mood);
    // The side of the square, in device-independent pixels.
    void setBox(int box);
    // Animate, or hold the still first frame. Turning it on restarts the animation.
    void setActive(bool active);

    const std::optional<NotchCharacter>& character() const { return m_character; }
    CharacterMood mood() const { return m_mood; }
    bool isActive() const { return m_active; }
    // Whether the frame timer runs.
    bool isAnimating() const { return m_timer.isActive(); }
    // Ticks per second of the timer: the mood's highest fps, at least 1 and at most the cap; 12
    // without steps.
    double samplingFPS() const;
    std::chrono::milliseconds tickInterval() const;
    std::vector<SpriteAnimator::Step> timingSteps() const;
    const QRect& contentBox() const { return m_content; }
    // The frame drawn now; null when the square is empty.
    QImage shownFrame() const;

    QSize sizeHint() const override { return {m_box, m_box}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void adopt(std::shared_ptr<const CharacterFrames::PackFrames> frames);
    void reload();
    void restartTimer();
    void tick();
    const MoodAnimation* animation() const;
    QImage firstFrame() const;
    QImage currentFrame() const;
    // Where a frame of this size is drawn in the square.
    QRectF drawnRect(const QSize& frame) const;
    // The frame as drawn in the square at a pixel ratio, kept by the frame's cache key.
    const QPixmap& picture(const QImage& frame, qreal ratio);

    Clock& m_clock;
    Scheduler& m_scheduler;
    std::optional<NotchCharacter> m_character;
    CharacterMood m_mood = CharacterMood::resting;
    int m_box = 0;
    bool m_active = false;
    QThreadPool* m_workers = nullptr;
    // Which pack load is awaited: a result for an earlier choice is dropped.
    std::uint64_t m_loadGeneration = 0;
    std::shared_ptr<const CharacterFrames::PackFrames> m_pack;
    std::vector<std::vector<QImage>> m_framesPerStep;
    QRect m_content;
    Clock::Monotonic m_start;
    SpriteAnimator::Position m_shown;
    ScheduledTimer m_timer;
    // A bound on the scaled pictures kept; a pack with more frames than this has them drawn afresh.
    static constexpr std::size_t kMaxPictures = 512;
    std::unordered_map<qint64, QPixmap> m_pictures;
    QSize m_pictureSize;
    qreal m_pictureRatio = 0;
};

} // namespace velquist
