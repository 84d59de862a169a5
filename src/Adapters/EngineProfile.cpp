#include "Adapters/EngineProfile.h"

#include "Ingestion/CodexTranscriptParser.h"
#include "Ingestion/CursorTranscriptParser.h"
#include "Ingestion/GeminiTranscriptParser.h"
#include "Ingestion/PermissionDecision.h"
#include "Ingestion/QwenTranscriptParser.h"
#include "Ingestion/TranscriptParser.h"
#include "Shared/AgentCatalog.h"

namespace velquist {

using nlohmann::json;

std::unique_ptr<const EngineProfile> EngineProfile::forAgent(const AgentEntry& agent, const HomePaths& paths,
                                                             const UserDefaults& defaults)
{
    switch (agent.kind) {
    case AgentKind::claudeCode:
        return std::make_unique<ClaudeEngineProfile>(paths, defaults);
    case AgentKind::codex:
        return std::make_unique<CodexEngineProfile>(paths);
    case AgentKind::cursor:
        return std::make_unique<CursorEngineProfile>(paths);
    case AgentKind::gemini:
        return std::make_unique<GeminiEngineProfile>(paths);
    case AgentKind::qwen:
        return std::make_unique<QwenEngineProfile>(paths);
    case AgentKind::opencode:
    case AgentKind::detected:
        break;
    }
    return nullptr;
}

std::string PermissionRequestProfile::encodeAllow(const std::optional<json>& updatedInput,
                                                  const std::optional<json>& updatedPermissions) const
{
    return PermissionDecision::allow(updatedInput, updatedPermissions);
}

std::string PermissionRequestProfile::encodeDeny(const std::string& message) const
{
    return PermissionDecision::deny(message);
}

ClaudeEngineProfile::ClaudeEngineProfile(HomePaths paths, const UserDefaults& defaults,
                                         bool forwardsUpdatedPermissions)
    : PermissionRequestProfile({.forwardsUpdatedPermissions = forwardsUpdatedPermissions}),
      m_paths(std::move(paths)), m_defaults(defaults)
{
}

HookInstallTarget ClaudeEngineProfile::installTarget() const
{
    return HookInstaller::claudeTarget(m_paths, m_defaults);
}

TranscriptLineParser ClaudeEngineProfile::transcriptLineParser() const
{
    return TranscriptParser::parse;
}

CodexEngineProfile::CodexEngineProfile(HomePaths paths, bool forwardsUpdatedPermissions)
    : PermissionRequestProfile({.forwardsUpdatedPermissions = forwardsUpdatedPermissions}),
      m_paths(std::move(paths))
{
}

HookInstallTarget CodexEngineProfile::installTarget() const
{
    return HookInstaller::target(m_paths, *AgentCatalog::find(AgentKind::codex));
}

TranscriptLineParser CodexEngineProfile::transcriptLineParser() const
{
    return CodexTranscriptParser::parse;
}

CursorEngineProfile::CursorEngineProfile(HomePaths paths) : EngineProfile({}), m_paths(std::move(paths)) {}

HookInstallTarget CursorEngineProfile::installTarget() const
{
    return HookInstaller::target(m_paths, *AgentCatalog::find(AgentKind::cursor));
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

GeminiEngineProfile::GeminiEngineProfile(HomePaths paths)
    : EngineProfile({.autoApprovesReadOnlyTools = true, .infersDoneWhenIdle = true}),
      m_paths(std::move(paths))
{
}

HookInstallTarget GeminiEngineProfile::installTarget() const
{
    return HookInstaller::target(m_paths, *AgentCatalog::find(AgentKind::gemini));
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

QwenEngineProfile::QwenEngineProfile(HomePaths paths)
    : PermissionRequestProfile({.autoApprovesReadOnlyTools = true}), m_paths(std::move(paths))
{
}

HookInstallTarget QwenEngineProfile::installTarget() const
{
    return HookInstaller::target(m_paths, *AgentCatalog::find(AgentKind::qwen));
}

TranscriptLineParser QwenEngineProfile::transcriptLineParser() const
{
    return QwenTranscriptParser::parse;
}

} // namespace velquist
