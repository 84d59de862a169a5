#include "Adapters/EventStreamLines.h"

namespace velquist {

void EventStreamLines::feed(std::string_view chunk, const std::function<bool(std::string_view)>& line)
{
    while (!chunk.empty()) {
        const auto end = chunk.find('\n');
        const std::string_view piece = chunk.substr(0, end);
        if (m_skipping) {
            if (end == std::string_view::npos)
                return;
            m_skipping = false;
            chunk.remove_prefix(end + 1);
            continue;
        }
        if (m_partial.size() + piece.size() > m_maxLineBytes) {
            // A CR that ends the line does not count towards it.
            const bool onlyLineEnd = end != std::string_view::npos && !piece.empty() &&
                                     piece.back() == '\r' &&
                                     m_partial.size() + piece.size() - 1 <= m_maxLineBytes;
            if (!onlyLineEnd) {
                m_partial.clear();
                m_partial.shrink_to_fit();
                ++m_droppedLines;
                if (end == std::string_view::npos) {
                    m_skipping = true;
                    return;
                }
                chunk.remove_prefix(end + 1);
                continue;
            }
        }
        if (end == std::string_view::npos) {
            m_partial.append(piece);
            return;
        }
        std::string_view complete = piece;
        if (!m_partial.empty()) {
            m_partial.append(piece);
            complete = m_partial;
        }
        if (!complete.empty() && complete.back() == '\r')
            complete.remove_suffix(1);
        const bool goOn = line(complete);
        m_partial.clear();
        if (!goOn)
            return;
        chunk.remove_prefix(end + 1);
    }
}

void EventStreamLines::reset()
{
    m_partial.clear();
    m_skipping = false;
}

std::optional<std::string_view> EventStreamLines::dataPayload(std::string_view line)
{
    constexpr std::string_view prefix = "data:";
    if (!line.starts_with(prefix))
        return std::nullopt;
    line.remove_prefix(prefix.size());
    const auto first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return std::nullopt;
    const auto last = line.find_last_not_of(" \t");
    return line.substr(first, last - first + 1);
}

} // namespace velquist
