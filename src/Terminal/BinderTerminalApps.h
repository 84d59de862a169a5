#pragma once

#include "Core/TerminalApps.h"

#include <QObject>
#include <map>

namespace velquist {

class TerminalBinder;

// Terminal applications found by the terminal binder on a worker and kept by owner pid. Main thread.
class BinderTerminalApps final : public QObject, public TerminalApps
{
    Q_OBJECT
  public:
    // How many owners are kept; past that the table starts afresh (a lookup is cheap to repeat).
    static constexpr std::size_t capacity = 256;

    explicit BinderTerminalApps(const TerminalBinder& binder, QObject* parent = nullptr);

    std::optional<std::optional<RunningApp>> cached(std::int64_t ownerPID) const override;
    void lookUp(std::int64_t ownerPID, QObject* context, std::function<void()> done) override;

  private:
    const TerminalBinder& m_binder;
    std::map<std::int64_t, std::optional<RunningApp>> m_apps;
};

} // namespace velquist
