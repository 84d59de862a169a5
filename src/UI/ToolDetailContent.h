#pragma once

#include "Core/ToolDetail.h"

#include <string>
#include <vector>

namespace velquist {

// One piece of the tool detail's body, in the order the view stacks them.
struct ToolDetailPiece
{
    enum class Kind {
        caption,    // `text` on at most two lines, shortened in the middle
        well,       // `text` in a scrolling code well at most `heightCap` points tall
        diff,       // `hunk` as removed and added lines
        options,    // `options`, numbered from 1
        mcpChip,    // the "MCP" chip of a tool served over MCP
        parameters, // `parameters` as a key and value grid
    };

    Kind kind = Kind::caption;
    std::string text;
    bool monospaced = true;
    int heightCap = 0;
    EditHunk hunk;
    std::vector<QuestionOption> options;
    std::vector<ToolParameter> parameters;

    bool operator==(const ToolDetailPiece&) const = default;
};

// What the tool detail view shows for each kind of tool call. Pure.
namespace ToolDetailContent {

inline constexpr std::size_t kMaxDiffs = 3;
// The code wells' height caps, padding included.
inline constexpr int kCommandWellCap = 138;
inline constexpr int kWriteWellCap = 198;
inline constexpr int kPlanWellCap = 258;
// Stored requests are not re-clipped on reading, so the view bounds its lists itself.
inline constexpr std::size_t kMaxOptions = 8;
inline constexpr std::size_t kMaxParameters = 12;

std::vector<ToolDetailPiece> pieces(const ToolDetail& detail);

} // namespace ToolDetailContent
} // namespace velquist
