#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace velquist {

// The marker of one plan list item: the number that opened it ("12" for "12. "), or a bullet.
struct PlanListMarker
{
    std::optional<std::string> ordered; // none for a bullet

    static PlanListMarker bullet() { return {}; }
    static PlanListMarker number(std::string run) { return {std::move(run)}; }
    bool isBullet() const { return !ordered.has_value(); }

    bool operator==(const PlanListMarker&) const = default;
};

// One block of a plan as the plan card draws it.
struct PlanBlock
{
    struct Heading
    {
        int level = 1; // 1 to 6
        std::string text;
        bool operator==(const Heading&) const = default;
    };
    struct ListItem
    {
        PlanListMarker marker;
        std::string text;
        bool operator==(const ListItem&) const = default;
    };
    // Consecutive running lines, each exactly as written (leading blanks kept); never empty.
    struct Paragraph
    {
        std::vector<std::string> lines;
        bool operator==(const Paragraph&) const = default;
    };
    // The lines between two fences, verbatim; never empty.
    struct Code
    {
        std::vector<std::string> lines;
        bool operator==(const Code&) const = default;
    };
    using Value = std::variant<Heading, ListItem, Paragraph, Code>;

    Value value;

    template <typename Case> const Case* as() const& { return std::get_if<Case>(&value); }
    template <typename Case> const Case* as() const&& = delete;

    bool operator==(const PlanBlock&) const = default;
};

// One styled piece of a line of plan text.
struct PlanInlineRun
{
    std::string text;
    bool strong = false;
    bool emphasis = false;
    bool strikethrough = false;
    bool code = false;
    std::optional<std::string> link; // the target of a [text](target) link

    bool operator==(const PlanInlineRun&) const = default;
};

// The small markdown grammar of plans an agent submits for review: ATX headings, "-"/"*" bullets,
// "N. " numbered items, paragraphs of consecutive lines and fenced code. Pure; never fails.
namespace PlanMarkdown {

// The blocks of a plan, in order. Lines end at LF, CR LF or a lone CR; an empty or all-blank text
// gives no blocks.
std::vector<PlanBlock> blocks(std::string_view text);

// The styled runs of one heading, item or paragraph line: strong, emphasis, strikethrough, inline
// code and links; everything else (a leading "#", blanks) stays literal text. A text without any
// markup is one plain run; an empty text gives no runs.
std::vector<PlanInlineRun> inlineRuns(std::string_view text);

} // namespace PlanMarkdown
} // namespace velquist
