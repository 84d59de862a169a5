#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace velquist {

// Cuts a server-sent event body into lines as its bytes arrive. A line may end in LF or CR LF. A
// line longer than the bound is dropped whole (its start is let go as soon as the bound is passed,
// the rest skipped up to its line end), so a server that never ends a line cannot make us hold
// more than the bound.
class EventStreamLines
{
  public:
    explicit EventStreamLines(std::size_t maxLineBytes) : m_maxLineBytes(maxLineBytes) {}

    // Hands every line completed by `chunk` to `line`, in order; `line` returns false to stop at
    // once (the rest of the chunk is then discarded).
    void feed(std::string_view chunk, const std::function<bool(std::string_view)>& line);
    // Forgets a partial line, for a new connection.
    void reset();

    // How many over-long lines were dropped so far.
    std::size_t droppedLines() const { return m_droppedLines; }
    // The bytes held for the line not yet ended.
    std::size_t pendingBytes() const { return m_partial.size(); }

    // The payload of a "data:" line, spaces and tabs trimmed at both ends; none for other lines
    // and for an empty payload. Every data line is one event: lines are never joined.
    static std::optional<std::string_view> dataPayload(std::string_view line);

  private:
    const std::size_t m_maxLineBytes;
    std::string m_partial;
    bool m_skipping = false;
    std::size_t m_droppedLines = 0;
};

} // namespace velquist
