#pragma once

#include "Platform/PanelShaper.h"

#include <QPointer>
#include <QWindow>
#include <map>
#include <vector>

namespace velquist::test {

// Notes the last input region set on each window; the test says whether a compositor runs.
class RecordingPanelShaper final : public PanelShaper
{
  public:
    bool canShapeInput() const override { return true; }
    bool drawsTranslucency() const override { return translucent; }
    void setInputRegion(QWindow& window, const QRegion& region) override
    {
        regions[&window] = region;
        ++calls;
    }
    void prepareCutWindow(QWindow& window) override { prepared.push_back(&window); }

    // The last region set on `window`; none when never set.
    std::optional<QRegion> regionOf(const QWindow* window) const
    {
        const auto found = regions.find(window);
        return found == regions.end() ? std::nullopt : std::optional(found->second);
    }

    bool translucent = false;
    std::map<const QWindow*, QRegion> regions;
    int calls = 0;
    std::vector<const QWindow*> prepared;
};

} // namespace velquist::test
