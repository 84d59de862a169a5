#pragma once

#include <QObject>
#include <functional>
#include <optional>

namespace velquist {

// Whether one picture is shown on two displays (a projector mirroring the laptop's screen).
class DisplayMirroring
{
  public:
    using Answer = std::function<void(std::optional<bool> mirrored)>;

    virtual ~DisplayMirroring() = default;
    // Whether mirroring can be told at all.
    virtual bool canDetectMirroring() const = 0;
    // Asks whether any active display mirrors another. `done` runs on the calling thread, maybe
    // later, with none when the displays could not be read; never once `context` has gone.
    virtual void queryMirroring(QObject* context, Answer done) = 0;
    // `changed` runs on the main thread whenever the displays or their layout change.
    virtual void observeDisplayChanges(QObject* context, std::function<void()> changed) = 0;
};

// For where displays cannot be read: every query fails, nothing ever changes.
class NoDisplayMirroring final : public DisplayMirroring
{
  public:
    bool canDetectMirroring() const override { return false; }
    void queryMirroring(QObject*, Answer done) override { done(std::nullopt); }
    void observeDisplayChanges(QObject*, std::function<void()>) override {}
};

} // namespace velquist
