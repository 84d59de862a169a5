#pragma once

#include "Core/TerminalApps.h"
#include "Platform/DisplayMirroring.h"
#include "Platform/FocusReturn.h"
#include "Platform/FrontmostApplication.h"
#include "Platform/ScreenLock.h"
#include "Platform/SystemIdle.h"

#include <QPointer>
#include <map>
#include <vector>

namespace velquist::test {

// Idle time the test sets; counts the fresh samples asked for.
class RecordingSystemIdle final : public SystemIdle
{
  public:
    bool canReadIdleTime() const override { return true; }
    double seconds() const override { return m_seconds; }
    void refresh() override { ++m_refreshes; }

    void setSeconds(double seconds) { m_seconds = seconds; }
    int refreshes() const { return m_refreshes; }

  private:
    double m_seconds = 0;
    int m_refreshes = 0;
};

// A lock state the test sets.
class RecordingScreenLock final : public ScreenLock
{
  public:
    bool canDetectLock() const override { return true; }
    bool isScreenLocked() const override { return m_locked; }
    void setLocked(bool locked) { m_locked = locked; }

  private:
    bool m_locked = false;
};

// A frontmost pid the test sets.
class RecordingFrontmostApplication final : public FrontmostApplication
{
  public:
    bool canTellFrontmost() const override { return true; }
    std::optional<pid_t> frontmostPid() const override { return m_pid; }
    void setFrontmostPid(std::optional<pid_t> pid) { m_pid = pid; }

  private:
    std::optional<pid_t> m_pid;
};

// Terminal applications the test adds. Lookups answer at once unless held, when they wait for
// `answerHeld()`; every owner asked about is noted.
class RecordingTerminalApps final : public TerminalApps
{
  public:
    void add(std::int64_t ownerPID, std::optional<RunningApp> app) { m_known[ownerPID] = std::move(app); }
    void setHolding(bool holding) { m_holding = holding; }

    std::optional<std::optional<RunningApp>> cached(std::int64_t ownerPID) const override
    {
        const auto found = m_cached.find(ownerPID);
        if (found == m_cached.end())
            return std::nullopt;
        return std::optional<std::optional<RunningApp>>(found->second);
    }
    void lookUp(std::int64_t ownerPID, QObject* context, std::function<void()> done) override
    {
        m_asked.push_back(ownerPID);
        m_held.push_back({ownerPID, context, std::move(done)});
        if (!m_holding)
            answerHeld();
    }
    void answerHeld()
    {
        auto held = std::move(m_held);
        m_held.clear();
        for (auto& [owner, context, done] : held) {
            const auto found = m_known.find(owner);
            m_cached[owner] = found == m_known.end() ? std::nullopt : found->second;
            if (context)
                done();
        }
    }
    const std::vector<std::int64_t>& asked() const { return m_asked; }

  private:
    struct Held
    {
        std::int64_t owner;
        QPointer<QObject> context;
        std::function<void()> done;
    };
    std::map<std::int64_t, std::optional<RunningApp>> m_known;
    std::map<std::int64_t, std::optional<RunningApp>> m_cached;
    std::vector<Held> m_held;
    std::vector<std::int64_t> m_asked;
    bool m_holding = false;
};

// An active window the test sets; notes every window it was asked to give the keyboard back to.
class RecordingFocusReturn final : public FocusReturn
{
  public:
    bool canReturnFocus() const override { return true; }
    std::optional<std::uint32_t> activeWindow() const override { return m_active; }
    void activate(std::uint32_t window) override { m_activated.push_back(window); }

    void setActiveWindow(std::optional<std::uint32_t> window) { m_active = window; }
    const std::vector<std::uint32_t>& activated() const { return m_activated; }

  private:
    std::optional<std::uint32_t> m_active;
    std::vector<std::uint32_t> m_activated;
};

// A mirroring answer the test sets (none: the query fails); `displaysChanged()` plays the
// platform's change notice. Answers at once.
class RecordingDisplayMirroring final : public DisplayMirroring
{
  public:
    bool canDetectMirroring() const override { return true; }
    void queryMirroring(QObject*, Answer done) override
    {
        ++m_queries;
        done(m_mirrored);
    }
    void observeDisplayChanges(QObject* context, std::function<void()> changed) override
    {
        m_observers.push_back({context, std::move(changed)});
    }

    void setMirrored(std::optional<bool> mirrored) { m_mirrored = mirrored; }
    void displaysChanged()
    {
        for (auto& [context, changed] : m_observers) {
            if (context)
                changed();
        }
    }
    int queries() const { return m_queries; }

  private:
    std::optional<bool> m_mirrored = false;
    std::vector<std::pair<QPointer<QObject>, std::function<void()>>> m_observers;
    int m_queries = 0;
};

} // namespace velquist::test
