#include "Ingestion/PermissionDecision.h"

#include "Shared/Json.h"

namespace velquist::PermissionDecision {

std::string serialise(const nlohmann::json& document)
{
    const std::string compact = Json::dump(document);
    // A "/" can only stand inside a string here, so escaping every one is exact.
    std::string bytes;
    bytes.reserve(compact.size());
    for (const char c : compact) {
        if (c == '/')
            bytes += '\\';
        bytes += c;
    }
    return bytes;
}

std::string envelope(const nlohmann::json& decision)
{
    return serialise(
        {{"hookSpecificOutput", {{"hookEventName", "PermissionRequest"}, {"decision", decision}}}});
}

std::string allow(const std::optional<nlohmann::json>& updatedInput,
                  const std::optional<nlohmann::json>& updatedPermissions)
{
    nlohmann::json decision = {{"behavior", "allow"}};
    if (updatedInput)
        decision["updatedInput"] = *updatedInput;
    if (updatedPermissions && !updatedPermissions->empty())
        decision["updatedPermissions"] = *updatedPermissions;
    return envelope(decision);
}

std::string deny(const std::string& message)
{
    return envelope({{"behavior", "deny"}, {"message", message}});
}

} // namespace velquist::PermissionDecision
