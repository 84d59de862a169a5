// The style kit's controls and glyphs.

#include "RenderRegistry.h"

#include "UI/Kit/AuroraStyle.h"
#include "UI/Kit/Glyph.h"
#include "UI/Kit/MetaPill.h"
#include "UI/Kit/Palette.h"
#include "UI/Kit/PrimaryCapsule.h"
#include "UI/Kit/SecondaryCapsule.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QWidget>

namespace velquist::render {
namespace {

const RenderRegistration capsules("style-kit", [](const RenderContext&, RenderSink& sink) {
    QWidget row;
    auto* layout = new QHBoxLayout(&row);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(7);
    layout->addWidget(new PrimaryCapsule("Allow", "checkmark", AuroraStyle::systemOrange()));
    layout->addWidget(new PrimaryCapsule("Submit", "paperplane.fill", Palette::signalWaiting()));
    layout->addWidget(new SecondaryCapsule("Deny", "xmark"));
    layout->addWidget(new SecondaryCapsule("Jump", "arrow.right.circle.fill"));
    layout->addWidget(new SecondaryCapsule("Submit", "paperplane.fill", false));
    layout->addWidget(new MetaPill("plan", AuroraStyle::pillFill(), AuroraStyle::pillText()));
    layout->addWidget(new MetaPill("opus-4", AuroraStyle::pillFill(), AuroraStyle::pillText()));
    sink.widget("capsules", row);

    const QStringList names = Glyph::names();
    sink.painted("glyphs", QSize(int(names.size()) * 22 + 8, 56), [&](QPainter& painter) {
        for (int i = 0; i < names.size(); ++i) {
            Glyph::paint(painter, QRectF(8 + i * 22, 8, 14, 14), names[i], Qt::white);
            Glyph::paint(painter, QRectF(8 + i * 22, 32, 9, 9), names[i], AuroraStyle::secondary());
        }
    });
});

} // namespace
} // namespace velquist::render
