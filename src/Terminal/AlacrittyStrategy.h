#pragma once

#include "Terminal/TerminalFocusStrategy.h"

namespace velquist {

// Alacritty has no remote control for focus: raise its only window, or the first whose title holds
// the session's folder name.
class AlacrittyStrategy final : public TerminalFocusStrategy
{
  public:
    explicit AlacrittyStrategy(TerminalTools tools);

    std::vector<std::string> bundleIDs() const override { return {"org.alacritty"}; }
    void focus(const Session& session, const RunningApp& app, QObject* context, Done done) override;

  private:
    TerminalTools m_tools;
};

} // namespace velquist
