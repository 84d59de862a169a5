#include "UI/ToolDetailContent.h"

#include <type_traits>

namespace velquist::ToolDetailContent {

namespace {

ToolDetailPiece caption(std::string text)
{
    ToolDetailPiece piece;
    piece.kind = ToolDetailPiece::Kind::caption;
    piece.text = std::move(text);
    return piece;
}

ToolDetailPiece well(std::string text, int heightCap, bool monospaced = true)
{
    ToolDetailPiece piece;
    piece.kind = ToolDetailPiece::Kind::well;
    piece.text = std::move(text);
    piece.heightCap = heightCap;
    piece.monospaced = monospaced;
    return piece;
}

template <typename T> std::vector<T> firstOf(const std::vector<T>& items, std::size_t count)
{
    return {items.begin(), items.begin() + static_cast<std::ptrdiff_t>(std::min(count, items.size()))};
}

} // namespace

std::vector<ToolDetailPiece> pieces(const ToolDetail& detail)
{
    using D = ToolDetail;
    using Kind = ToolDetailPiece::Kind;
    std::vector<ToolDetailPiece> result;
    std::visit(
        [&result](const auto& c) {
            using Case = std::decay_t<decltype(c)>;
            if constexpr (std::is_same_v<Case, D::Bash>) {
                result.push_back(well(c.command, kCommandWellCap));
                if (c.background)
                    result.push_back(caption("Runs in the background"));
            } else if constexpr (std::is_same_v<Case, D::Edit>) {
                result.push_back(caption(c.path));
                for (const EditHunk& hunk : firstOf(c.hunks, kMaxDiffs)) {
                    ToolDetailPiece piece;
                    piece.kind = Kind::diff;
                    piece.hunk = hunk;
                    result.push_back(std::move(piece));
                }
                if (c.hunks.size() > kMaxDiffs)
                    result.push_back(
                        caption("+" + std::to_string(c.hunks.size() - kMaxDiffs) + " more changes"));
            } else if constexpr (std::is_same_v<Case, D::Write>) {
                result.push_back(caption(c.path + " \u00b7 " + std::to_string(c.lineCount) + " lines"));
                result.push_back(well(c.content, kWriteWellCap));
            } else if constexpr (std::is_same_v<Case, D::Question>) {
                ToolDetailPiece piece;
                piece.kind = Kind::options;
                if (!c.inquiry.questions.empty())
                    piece.options = firstOf(c.inquiry.questions.front().options, kMaxOptions);
                result.push_back(std::move(piece));
            } else if constexpr (std::is_same_v<Case, D::Plan>) {
                result.push_back(well(c.text, kPlanWellCap, false));
            } else if constexpr (std::is_same_v<Case, D::Read>) {
                result.push_back(caption(c.path));
            } else if constexpr (std::is_same_v<Case, D::Search>) {
                if (c.path)
                    result.push_back(caption(*c.path));
                else
                    result.push_back(well(c.pattern, kCommandWellCap));
            } else if constexpr (std::is_same_v<Case, D::Web>) {
                result.push_back(caption(c.target));
            } else if constexpr (std::is_same_v<Case, D::Agent>) {
                result.push_back(caption("subagent: " + c.kind));
            } else if constexpr (std::is_same_v<Case, D::Other>) {
                if (c.toolName.starts_with("mcp__")) {
                    ToolDetailPiece piece;
                    piece.kind = Kind::mcpChip;
                    result.push_back(std::move(piece));
                }
                if (!c.parameters.empty()) {
                    ToolDetailPiece piece;
                    piece.kind = Kind::parameters;
                    piece.parameters = firstOf(c.parameters, kMaxParameters);
                    result.push_back(std::move(piece));
                }
            }
        },
        detail.value());
    return result;
}

} // namespace velquist::ToolDetailContent
