#include "Actions/ControlAction.h"

#include <nlohmann/json.hpp>

namespace velquist {

std::string_view toString(GrantScope scope)
{
    switch (scope) {
    case GrantScope::once:
        return "once";
    case GrantScope::session:
        return "session";
    case GrantScope::always:
        return "always";
    }
    return "once";
}

namespace {

// Quoted and escaped, so a message cannot make two different actions read alike.
std::string quoted(const std::string& text)
{
    return nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

struct Describer
{
    std::string operator()(const ControlAction::Approve& a) const
    {
        return "approve(" + std::string(toString(a.scope)) + ")";
    }
    std::string operator()(const ControlAction::ApprovePlan& a) const
    {
        return "approvePlan(mode: " + (a.mode ? quoted(*a.mode) : std::string("nil")) + ")";
    }
    std::string operator()(const ControlAction::DenyWithMessage& a) const
    {
        return "denyWithMessage(" + quoted(a.message) + ")";
    }
    std::string operator()(const ControlAction::Answer& a) const
    {
        return "answer(selections: " + nlohmann::json(a.selections).dump() + ")";
    }
    std::string operator()(const ControlAction::Deny&) const { return "deny"; }
};

} // namespace

std::string ControlAction::describe() const
{
    return std::visit(Describer{}, value);
}

} // namespace velquist
