#include "Platform/Linux/KWinReportReceiver.h"

namespace velquist {

std::optional<std::string> KWinReportReceiver::await(const std::string& token,
                                                     std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    if (!m_arrived.wait_for(lock, timeout, [&] { return m_reports.contains(token); }))
        return std::nullopt;
    auto node = m_reports.extract(token);
    return std::move(node.mapped());
}

void KWinReportReceiver::report(const QString& token, const QString& text)
{
    if (static_cast<std::size_t>(text.size()) > maxReportBytes)
        return;
    {
        std::lock_guard lock(m_mutex);
        // Only answers someone waits for are kept; a late one for a caller that gave up is dropped
        // the next time the map is trimmed.
        if (m_reports.size() > 64)
            m_reports.clear();
        m_reports[token.toStdString()] = text.toStdString();
    }
    m_arrived.notify_all();
}

void KWinReportReceiver::changed(const QString& what)
{
    if (what == QLatin1String("active"))
        Q_EMIT activeWindowChanged();
    else if (what == QLatin1String("stacking"))
        Q_EMIT stackingChanged();
}

} // namespace velquist
