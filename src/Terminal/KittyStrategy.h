#pragma once

#include "Terminal/TerminalFocusStrategy.h"

namespace velquist {

// kitty's remote control (`kitten @`, else `kitty @`) at the session's "KITTY_LISTEN_ON": focus
// the kitty window by its id ("KITTY_WINDOW_ID"), else by the owner pid, else by the folder.
class KittyStrategy final : public TerminalFocusStrategy
{
  public:
    explicit KittyStrategy(TerminalTools tools);

    std::vector<std::string> bundleIDs() const override { return {"net.kovidgoyal.kitty"}; }
    void focus(const Session& session, const RunningApp& app, QObject* context, Done done) override;

    // The `--match` values to try, in order.
    static std::vector<std::string> matches(const Session& session);
    // `text` as a regular expression that matches exactly it.
    static std::string anchoredPattern(const std::string& text);

  private:
    TerminalTools m_tools;
};

} // namespace velquist
