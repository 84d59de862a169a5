#include "Characters/CharacterView.h"

#include "Platform/WorkerTask.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace velquist {

CharacterView::CharacterView(Clock& clock, Scheduler& scheduler, QWidget* parent)
    : QWidget(parent), m_clock(clock), m_scheduler(scheduler), m_start(clock.monotonic())
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void CharacterView::setCharacter(const std::optional<NotchCharacter>& character)
{
    const bool samePack = character && m_character && character->id == m_character->id;
    m_character = character;
    // The manifest's scale may differ even for the same pack.
    m_pictures.clear();
    update();
    if (samePack)
        return;
    const std::uint64_t generation = ++m_loadGeneration;
    m_pack.reset();
    m_content = QRect();
    reload();
    if (!m_character)
        return;
    if (!m_workers) {
        adopt(std::make_shared<const CharacterFrames::PackFrames>(CharacterFrames::loadPack(*m_character)));
        return;
    }
    using Frames = std::shared_ptr<const CharacterFrames::PackFrames>;
    runOnWorker<Frames>(
        this,
        [pack = *m_character]() -> Frames {
            return std::make_shared<const CharacterFrames::PackFrames>(CharacterFrames::loadPack(pack));
        },
        [this, generation](Frames frames) {
            if (generation == m_loadGeneration)
                adopt(std::move(frames));
        },
        m_workers);
}

void CharacterView::adopt(std::shared_ptr<const CharacterFrames::PackFrames> frames)
{
    m_pack = std::move(frames);
    m_content = m_pack->content;
    reload();
}

void CharacterView::setMood(CharacterMood mood)
{
    if (mood == m_mood)
        return;
    m_mood = mood;
    reload();
}

void CharacterView::setBox(int box)
{
    box = std::max(box, 0);
    if (box == m_box)
        return;
    m_box = box;
    setFixedSize(box, box);
    updateGeometry();
    update();
}

void CharacterView::setActive(bool active)
{
    if (active == m_active)
        return;
    m_active = active;
    if (active)
        m_start = m_clock.monotonic();
    restartTimer();
    update();
}

const MoodAnimation* CharacterView::animation() const
{
    return m_character ? m_character->animation(m_mood) : nullptr;
}

double CharacterView::samplingFPS() const
{
    const MoodAnimation* moodAnimation = animation();
    if (!moodAnimation || moodAnimation->steps.empty())
        return 12;
    double fastest = 1;
    for (const AnimationStep& step : moodAnimation->steps) {
        if (std::isfinite(step.fps))
            fastest = std::max(fastest, step.fps);
    }
    return std::min(fastest, kMaxSamplingFPS);
}

std::chrono::milliseconds CharacterView::tickInterval() const
{
    return std::chrono::milliseconds(std::max<long>(1, std::lround(1000.0 / samplingFPS())));
}

std::vector<SpriteAnimator::Step> CharacterView::timingSteps() const
{
    std::vector<SpriteAnimator::Step> steps;
    const MoodAnimation* moodAnimation = animation();
    if (!moodAnimation)
        return steps;
    for (std::size_t i = 0; i < moodAnimation->steps.size(); ++i) {
        const AnimationStep& step = moodAnimation->steps[i];
        const std::int64_t frames =
            i < m_framesPerStep.size() ? static_cast<std::int64_t>(m_framesPerStep[i].size()) : step.frames;
        steps.push_back({frames, step.fps, step.plays});
    }
    return steps;
}

QImage CharacterView::firstFrame() const
{
    for (const auto& frames : m_framesPerStep) {
        if (!frames.empty())
            return frames.front();
    }
    return {};
}

QImage CharacterView::currentFrame() const
{
    const auto& [step, frame] = m_shown;
    if (step >= 0 && step < static_cast<std::int64_t>(m_framesPerStep.size())) {
        const auto& frames = m_framesPerStep[static_cast<std::size_t>(step)];
        if (frame >= 0 && frame < static_cast<std::int64_t>(frames.size()))
            return frames[static_cast<std::size_t>(frame)];
    }
    return firstFrame();
}

QImage CharacterView::shownFrame() const
{
    return m_active ? currentFrame() : firstFrame();
}

void CharacterView::reload()
{
    m_framesPerStep.clear();
    const MoodAnimation* moodAnimation = animation();
    if (moodAnimation && m_pack) {
        for (const auto& [key, candidate] : m_character->manifest.animations) {
            if (&candidate != moodAnimation)
                continue;
            if (const auto found = m_pack->steps.find(key); found != m_pack->steps.end())
                m_framesPerStep = found->second;
        }
        m_start = m_clock.monotonic();
    }
    m_shown = {};
    restartTimer();
    update();
}

void CharacterView::restartTimer()
{
    m_timer.cancel();
    // Nothing to step through, or nobody to see it: no timer at all.
    if (!m_active || firstFrame().isNull())
        return;
    m_shown = {};
    m_timer = ScheduledTimer(m_scheduler, m_scheduler.scheduleRepeating(tickInterval(), [this] { tick(); }));
}

void CharacterView::tick()
{
    const MoodAnimation* moodAnimation = animation();
    const double elapsed = std::chrono::duration<double>(m_clock.monotonic() - m_start).count();
    const auto steps = timingSteps();
    const auto position = SpriteAnimator::locate(elapsed, steps, moodAnimation ? moodAnimation->loops : true);
    if (position == m_shown)
        return;
    const QImage before = currentFrame();
    m_shown = position;
    // A frame that looks like the one on screen costs no repaint. Another is painted at once: the
    // timer has just woken the application, and a repaint posted for later would cost the event
    // loop another round.
    if (currentFrame() != before)
        repaint();
}

QRectF CharacterView::drawnRect(const QSize& frame) const
{
    const QSizeF fitted = QSizeF(frame).scaled(QSizeF(m_box, m_box), Qt::KeepAspectRatio);
    // A pack's scale is its own business, but a runaway one must not ask the painter for an
    // unbounded rectangle.
    double scale = m_character && m_character->manifest.scale ? *m_character->manifest.scale : 1.0;
    scale = std::isfinite(scale) ? std::clamp(scale, 0.0, kMaxScale) : 1.0;
    const QSizeF drawn = fitted * scale;
    const QPointF centre(width() / 2.0, height() / 2.0);
    return QRectF(centre - QPointF(drawn.width() / 2, drawn.height() / 2), drawn);
}

const QPixmap& CharacterView::picture(const QImage& frame, qreal ratio)
{
    // Each frame is scaled once into a picture of the square at the pixel ratio it is shown at; a
    // step then only copies it. The cache follows the frames, the square and the ratio.
    if (m_pictureSize != size() || m_pictureRatio != ratio || m_pictures.size() > kMaxPictures) {
        m_pictures.clear();
        m_pictureSize = size();
        m_pictureRatio = ratio;
    }
    auto found = m_pictures.find(frame.cacheKey());
    if (found == m_pictures.end()) {
        QPixmap picture(size() * ratio);
        picture.setDevicePixelRatio(ratio);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(drawnRect(frame.size()), frame);
        painter.end();
        found = m_pictures.emplace(frame.cacheKey(), std::move(picture)).first;
    }
    return found->second;
}

void CharacterView::paintEvent(QPaintEvent*)
{
    const QImage frame = shownFrame();
    if (frame.isNull() || m_box <= 0 || drawnRect(frame.size()).isEmpty())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    // The picture is made at the scale the painter reaches the device with (the screen's pixel
    // ratio, or a picture of the widget at another size); a painter that turns or skews gets the
    // frame drawn straight.
    const QTransform device = painter.deviceTransform();
    const qreal ratio = device.m11();
    if (device.type() > QTransform::TxScale || ratio <= 0 || ratio != device.m22()) {
        painter.drawImage(drawnRect(frame.size()), frame);
        return;
    }
    painter.drawPixmap(0, 0, picture(frame, ratio));
}

} // namespace velquist
