#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velquist {

// How a session is recognised among a terminal's windows and tabs: by the title the agent gave the
// conversation, by the short key of its id, or by its folder. Pure functions.
namespace WindowMatching {

// The key that titles are searched for: the first hyphen-separated block of the id's last
// colon-separated part, when it has at least 8 characters.
std::optional<std::string> sessionIDKey(std::string_view id);

// The folder name shown for a session: "No folder" for the unknown folder, else the path's last
// component.
std::string folderName(std::string_view cwd);

// The index of the only title holding `needle` (trimmed, at least 3 characters), ignoring case;
// absent titles never match.
std::optional<std::size_t> uniqueTitleMatch(const std::vector<std::optional<std::string>>& titles,
                                            std::string_view needle);

// How well a surface's folder fits the session's: `exactMatch` for the same folder, else the
// number of shared leading components when one lies inside the other; none otherwise.
inline constexpr int exactMatch = 0x7FFFFFFF;
std::optional<int> cwdMatchScore(const std::optional<std::string>& surface, std::string_view cwd);

// The best-scored index; the originally selected one keeps every tie, else the earliest wins.
std::optional<std::size_t> chooseTab(const std::vector<std::optional<int>>& scores,
                                     std::optional<std::size_t> originalIndex);

// The index of the one window whose title holds the first candidate that exactly one title holds
// (lower-cased substring test); windows without a title are left out.
std::optional<std::size_t> uniqueWindowMatch(const std::vector<std::optional<std::string>>& titles,
                                             const std::vector<std::string>& candidates);

} // namespace WindowMatching
} // namespace velquist
