// The default character in each mood: the view as the bar shows it (a still first frame), and every
// frame of the mood's animation in order, each fitted into the bar's square as the view draws it.

#include "RenderRegistry.h"

#include "Characters/CharacterCatalog.h"
#include "Characters/CharacterFrames.h"
#include "Characters/CharacterView.h"
#include "Core/QtScheduler.h"
#include "Core/SystemClock.h"
#include "Shared/AppPaths.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QWidget>

namespace velquist::render {
namespace {

constexpr int kBox = 32; // a typical collapsed bar's height
constexpr int kGap = 8;

// The packs drawn at build time: in the resources beside an installed program, else in the build
// tree's share folder above this tool's own folder.
std::vector<NotchCharacter> packs()
{
    auto found = CharacterCatalog::load(CharacterCatalog::bundledDirectory(AppPaths::resourceDirectory()));
    for (auto folder = AppPaths::executableDirectory(); found.empty() && folder.has_relative_path();
         folder = folder.parent_path())
        found = CharacterCatalog::load(CharacterCatalog::bundledDirectory(folder / "share" / "velquist"));
    return found;
}

void paintFitted(QPainter& painter, const QRectF& square, const QImage& frame)
{
    const QSizeF fitted = QSizeF(frame.size()).scaled(square.size(), Qt::KeepAspectRatio);
    painter.drawImage(QRectF(square.center() - QPointF(fitted.width() / 2, fitted.height() / 2), fitted),
                      frame);
}

const RenderRegistration characters("character", [](const RenderContext&, RenderSink& sink) {
    const auto all = packs();
    if (all.empty())
        return;
    const NotchCharacter& pack = all.front();
    const QRect content = CharacterFrames::contentBox(pack);
    SystemClock clock;
    QtScheduler scheduler;

    QWidget row;
    auto* layout = new QHBoxLayout(&row);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(12);
    for (CharacterMood mood : kAllCharacterMoods) {
        auto* view = new CharacterView(clock, scheduler, &row);
        view->setCharacter(pack);
        view->setBox(kBox);
        view->setMood(mood);
        layout->addWidget(view);
    }
    sink.widget("moods-still", row);

    for (CharacterMood mood : kAllCharacterMoods) {
        std::vector<QImage> frames;
        if (const MoodAnimation* animation = pack.animation(mood)) {
            for (const AnimationStep& step : animation->steps) {
                auto cut = CharacterFrames::load(step, pack, content);
                frames.insert(frames.end(), cut.begin(), cut.end());
            }
        }
        const int count = std::max<int>(1, static_cast<int>(frames.size()));
        sink.painted(QString::fromUtf8(toString(mood).data()) + "-frames",
                     QSize(count * (kBox + kGap) + kGap, kBox + 2 * kGap), [&](QPainter& painter) {
                         painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
                         for (std::size_t i = 0; i < frames.size(); ++i)
                             paintFitted(painter, QRectF(kGap + double(i) * (kBox + kGap), kGap, kBox, kBox),
                                         frames[i]);
                     });
    }
});

} // namespace
} // namespace velquist::render
