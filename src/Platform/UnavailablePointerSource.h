#pragma once

#include "Platform/PointerSource.h"

namespace velquist {

// For a desktop whose pointer cannot be followed outside our own windows.
class UnavailablePointerSource final : public PointerSource
{
  public:
    using PointerSource::PointerSource;

    bool canTrackPosition() const override { return false; }
    bool canWatchPointer() const override { return false; }
    std::optional<QPoint> position() const override { return std::nullopt; }
    void acquire() override {}
    void release() override {}
};

} // namespace velquist
