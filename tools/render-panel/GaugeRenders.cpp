// Context indicator, usage ring and usage strip.

#include "RenderRegistry.h"

#include "UI/ContextIndicator.h"
#include "UI/UsageRing.h"
#include "UI/UsageStrip.h"

#include <QHBoxLayout>
#include <QVBoxLayout>
#include <QWidget>

namespace velquist::render {
namespace {

UsageReading withSession(const UsageReading& base, double percent)
{
    UsageReading reading = base;
    reading.quota->windows.front().usagePercent = percent;
    return reading;
}

const RenderRegistration context("context-indicator", [](const RenderContext&, RenderSink& sink) {
    QWidget row;
    auto* layout = new QHBoxLayout(&row);
    layout->setContentsMargins(10, 8, 10, 8);
    layout->setSpacing(14);
    for (const ContextUsage& usage :
         {ContextUsage{0, 0, {}}, ContextUsage{30'000, 200'000, {}}, ContextUsage{140'000, 200'000, {}},
          ContextUsage{185'000, 200'000, {}}, ContextUsage{260'000, 200'000, {}}})
        layout->addWidget(new ContextIndicator(usage));
    sink.widget("levels", row);
});

const RenderRegistration ring("usage-ring", [](const RenderContext& context, RenderSink& sink) {
    QWidget row;
    auto* layout = new QHBoxLayout(&row);
    layout->setContentsMargins(10, 6, 10, 6);
    layout->setSpacing(14);
    for (const double percent : {0.0, 42.0, 69.6, 80.0, 95.0, 130.0})
        layout->addWidget(new UsageRing(withSession(context.usage, percent), 32, nullptr, &context.clock));
    layout->addWidget(new UsageRing(withSession(context.usage, 55), 10, nullptr, &context.clock));
    sink.widget("levels", row);
});

const RenderRegistration strip("usage-strip", [](const RenderContext& context, RenderSink& sink) {
    UsageStrip full(context.usage, nullptr, &context.clock);
    sink.widget("three-windows", full);
    // Built from a copy of the first two windows: resizing the vector inside the optional in place
    // trips g++ 12's maybe-uninitialized analysis at -O3.
    QuotaData twoWindows = *context.usage.quota;
    twoWindows.windows.erase(twoWindows.windows.begin() + 2, twoWindows.windows.end());
    UsageReading codex = context.usage;
    codex.provider = UsageProvider::codex;
    codex.quota = std::move(twoWindows);
    UsageStrip two(codex, nullptr, &context.clock);
    sink.widget("codex-two-windows", two);
});

} // namespace
} // namespace velquist::render
