#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace velquist {

// How far an approval reaches.
enum class GrantScope {
    once,    // this one call
    session, // every later request of the same session
    always,  // a lasting rule in the agent's own settings, where it has them
};

// The case name: "once", "session", "always".
std::string_view toString(GrantScope scope);

// The user's decision on a session's request, as the panel's controls send it.
struct ControlAction
{
    struct Approve
    {
        GrantScope scope = GrantScope::once;
        bool operator==(const Approve&) const = default;
    };
    struct ApprovePlan
    {
        // The permission mode the agent continues in; none keeps its mode.
        std::optional<std::string> mode;
        bool operator==(const ApprovePlan&) const = default;
    };
    struct DenyWithMessage
    {
        std::string message;
        bool operator==(const DenyWithMessage&) const = default;
    };
    struct Answer
    {
        // One list per question, in question order, of the chosen option indexes.
        std::vector<std::vector<int>> selections;
        bool operator==(const Answer&) const = default;
    };
    struct Deny
    {
        bool operator==(const Deny&) const = default;
    };
    using Value = std::variant<Approve, ApprovePlan, DenyWithMessage, Answer, Deny>;

    Value value;

    static ControlAction approve(GrantScope scope) { return {Approve{scope}}; }
    static ControlAction approvePlan(std::optional<std::string> mode)
    {
        return {ApprovePlan{std::move(mode)}};
    }
    static ControlAction denyWithMessage(std::string message)
    {
        return {DenyWithMessage{std::move(message)}};
    }
    static ControlAction answer(std::vector<std::vector<int>> selections)
    {
        return {Answer{std::move(selections)}};
    }
    static ControlAction deny() { return {Deny{}}; }

    template <typename Case> const Case* as() const& { return std::get_if<Case>(&value); }
    template <typename Case> const Case* as() const&& = delete;

    bool operator==(const ControlAction&) const = default;

    // A text that is equal for equal actions and different for different ones, e.g.
    // `approve(once)`, `denyWithMessage("no")`, `answer([[0],[1,2]])`.
    std::string describe() const;
};

} // namespace velquist
