#pragma once

#include <cstdint>
#include <optional>

namespace velquist {

// Hands the keyboard back to the window that had it before one of our panels took it.
class FocusReturn
{
  public:
    virtual ~FocusReturn() = default;
    // Whether the focused window can be told and asked for again.
    virtual bool canReturnFocus() const = 0;
    // The window that has the keyboard now, as last seen; none when unknown.
    virtual std::optional<std::uint32_t> activeWindow() const = 0;
    // Asks the window manager to give `window` the keyboard again. Returns at once.
    virtual void activate(std::uint32_t window) = 0;
};

// For where windows cannot be seen: nothing is remembered, nothing handed back.
class NoFocusReturn final : public FocusReturn
{
  public:
    bool canReturnFocus() const override { return false; }
    std::optional<std::uint32_t> activeWindow() const override { return std::nullopt; }
    void activate(std::uint32_t) override {}
};

} // namespace velquist
