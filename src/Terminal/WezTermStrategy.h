#pragma once

#include "Terminal/TerminalFocusStrategy.h"

#include <cstdint>

namespace velquist {

// WezTerm's command line: activate the session's pane ("WEZTERM_PANE"), else the pane the pane
// list shows on the session's tty or folder.
class WezTermStrategy final : public TerminalFocusStrategy
{
  public:
    explicit WezTermStrategy(TerminalTools tools);

    std::vector<std::string> bundleIDs() const override { return {"com.github.wez.wezterm"}; }
    void focus(const Session& session, const RunningApp& app, QObject* context, Done done) override;

    // From `wezterm cli list --format json`: the pane on "/dev/<tty>", else the first whose folder
    // URL has the session's folder as its path.
    static std::optional<std::int64_t> paneID(const std::string& listJSON,
                                              const std::optional<std::string>& tty, const std::string& cwd);

  private:
    TerminalTools m_tools;
};

} // namespace velquist
