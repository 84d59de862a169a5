#include "Adapters/EngineProfile.h"

#include "Ingestion/CodexTranscriptParser.h"
#include "Ingestion/CursorTranscriptParser.h"
#include "Ingestion/GeminiTranscriptParser.h"
#include "Ingestion/PermissionDecision.h"
#include "Ingestion/QwenTranscriptParser.h"
#include "Ingestion/TranscriptParser.h"

namespace velquist {

using nlohmann::json;

std::string PermissionRequestProfile::encodeAllow(const std::optional<json>& updatedInput,
                                                  const std::optional<json>& updatedPermissions) const
{
    return PermissionDecision::allow(updatedInput, updatedPermissions);
}

std::string PermissionRequestProfile::encodeDeny(const std::string& message) const
{
    return PermissionDecision::deny(message);
}

ClaudeEngineProfile::ClaudeEngineProfile(const UserDefaults& defaults, bool forwardsUpdatedPermissions)
    : PermissionRequestProfile({.forwardsUpdatedPermissions = forwardsUpdatedPermissions}),
      m_defaults(defaults)
{
}

HookInstallTarget ClaudeEngineProfile::installTarget() const
{
    return HookInstaller::claudeTarget(m_defaults);
}

TranscriptLineParser ClaudeEngineProfile::transcriptLineParser() const
{
    return TranscriptParser::parse;
}

CodexEngineProfile::CodexEngineProfile(bool forwardsUpdatedPermissions)
    : PermissionRequestProfile({.forwardsUpdatedPermissions = forwardsUpdatedPermissions})
{
}

HookInstallTarget CodexEngineProfile::installTarget() const
{
    return HookInstaller::codexTarget();
}

TranscriptLineParser CodexEngineProfile::transcriptLineParser() const
{
    return CodexTranscriptParser::parse;
}

CursorEngineProfile::CursorEngineProfile() : EngineProfile({}) {}

HookInstallTarget CursorEngineProfile::installTarget() const
{
    return HookInstaller::cursorTarget();
}

TranscriptLineParser CursorEngineProfile::transcriptLineParser() const
{
    return CursorTranscriptParser::parse;
}

std::string CursorEngineProfile::encodeAllow(const std::optional<json>& updatedInput,
                                             const std::optional<json>& /*updatedPermissions*/) const
{
    json document = {{"permission", "allow"}};
    if (updatedInput)
        document["updated_input"] = *updatedInput;
    return PermissionDecision::serialise(document);
}

std::string CursorEngineProfile::encodeDeny(const std::string& message) const
{
    return PermissionDecision::serialise(
        {{"permission", "deny"}, {"user_message", message}, {"agent_message", message}});
}

GeminiEngineProfile::GeminiEngineProfile()
    : EngineProfile({.autoApprovesReadOnlyTools = true, .infersDoneWhenIdle = true})
{
}

HookInstallTarget GeminiEngineProfile::installTarget() const
{
    return HookInstaller::geminiTarget();
}

TranscriptLineParser GeminiEngineProfile::transcriptLineParser() const
{
    return GeminiTranscriptParser::parse;
}

std::string GeminiEngineProfile::encodeAllow(const std::optional<json>& /*updatedInput*/,
                                             const std::optional<json>& /*updatedPermissions*/) const
{
    return PermissionDecision::serialise({{"decision", "allow"}});
}

std::string GeminiEngineProfile::encodeDeny(const std::string& message) const
{
    return PermissionDecision::serialise({{"decision", "deny"}, {"reason", message}});
}

QwenEngineProfile::QwenEngineProfile() : PermissionRequestProfile({.autoApprovesReadOnlyTools = true}) {}

HookInstallTarget QwenEngineProfile::installTarget() const
{
    return HookInstaller::qwenTarget();
}

TranscriptLineParser QwenEngineProfile::transcriptLineParser() const
{
    return QwenTranscriptParser::parse;
}

} // namespace velquist
