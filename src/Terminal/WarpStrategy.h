#pragma once

#include "Terminal/TerminalFocusStrategy.h"

namespace velquist {

// Warp publishes a focus URL in the session's environment ("WARP_FOCUS_URL"); only a URL of Warp's
// own scheme is opened, so the environment cannot make the desktop open anything else.
class WarpStrategy final : public TerminalFocusStrategy
{
  public:
    explicit WarpStrategy(TerminalTools tools);

    std::vector<std::string> bundleIDs() const override { return {"dev.warp.Warp-Stable", "dev.warp.Warp"}; }
    void focus(const Session& session, const RunningApp& app, QObject* context, Done done) override;

  private:
    TerminalTools m_tools;
};

} // namespace velquist
