#pragma once

#include "Terminal/TerminalFocusStrategy.h"

#include <memory>

namespace velquist {

// The terminals with a focus strategy of their own, in a fixed order.
class TerminalFocusRegistry
{
  public:
    explicit TerminalFocusRegistry(const TerminalTools& tools);
    // For tests: the given strategies, in their order.
    explicit TerminalFocusRegistry(std::vector<std::unique_ptr<TerminalFocusStrategy>> strategies);

    // The first strategy serving exactly that identifier (case matters); none for none.
    TerminalFocusStrategy* strategy(const std::optional<std::string>& bundleID) const;

  private:
    std::vector<std::unique_ptr<TerminalFocusStrategy>> m_strategies;
};

} // namespace velquist
