#include "Attention/GlanceDwell.h"

namespace velquist {

std::optional<std::string> GlanceDwell::observe(const std::optional<std::string>& match, Clock::Monotonic now)
{
    if (!match || m_fired.contains(*match)) {
        m_pending.reset();
        return std::nullopt;
    }
    if (m_pending && m_pending->id == *match) {
        if (now - m_pending->since < m_dwell)
            return std::nullopt;
        m_pending.reset();
        m_fired.insert(*match);
        return match;
    }
    m_pending = Pending{*match, now};
    return std::nullopt;
}

} // namespace velquist
