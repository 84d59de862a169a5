#include "Terminal/TerminalFocusRegistry.h"

#include "Terminal/AlacrittyStrategy.h"
#include "Terminal/KittyStrategy.h"
#include "Terminal/WarpStrategy.h"
#include "Terminal/WezTermStrategy.h"

#include <algorithm>

namespace velquist {

TerminalFocusRegistry::TerminalFocusRegistry(const TerminalTools& tools)
{
    m_strategies.push_back(std::make_unique<WezTermStrategy>(tools));
    m_strategies.push_back(std::make_unique<KittyStrategy>(tools));
    m_strategies.push_back(std::make_unique<AlacrittyStrategy>(tools));
    m_strategies.push_back(std::make_unique<WarpStrategy>(tools));
}

TerminalFocusRegistry::TerminalFocusRegistry(std::vector<std::unique_ptr<TerminalFocusStrategy>> strategies)
    : m_strategies(std::move(strategies))
{
}

TerminalFocusStrategy* TerminalFocusRegistry::strategy(const std::optional<std::string>& bundleID) const
{
    if (!bundleID)
        return nullptr;
    for (const auto& strategy : m_strategies) {
        const auto ids = strategy->bundleIDs();
        if (std::find(ids.begin(), ids.end(), *bundleID) != ids.end())
            return strategy.get();
    }
    return nullptr;
}

} // namespace velquist
