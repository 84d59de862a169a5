#pragma once

#include "Ingestion/HookInstaller.h"
#include "Ingestion/TranscriptItem.h"

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace velquist {

class UserDefaults;

// One hook-driven agent's dialect: where its hooks go, how its transcripts read, how the adapter
// treats its requests, and the exact bytes of its answer to a permission hook. One HookAdapter
// class serves every agent through this.
class EngineProfile
{
  public:
    virtual ~EngineProfile() = default;

    // Where and how the agent's hooks are installed.
    virtual HookInstallTarget installTarget() const = 0;
    // The agent's transcript line parser, safe to call from any thread.
    virtual TranscriptLineParser transcriptLineParser() const = 0;
    // Read and search tools are allowed at once, without asking the user.
    virtual bool autoApprovesReadOnlyTools() const = 0;
    // A quiet session is marked done, because the agent sends no stop event.
    virtual bool infersDoneWhenIdle() const = 0;
    // An always-allow decision passes the agent's own permission suggestions back to it.
    virtual bool forwardsUpdatedPermissions() const = 0;
    // The reply that allows the pending tool call, optionally with a changed input and permission
    // updates (each engine keeps only what it understands).
    virtual std::string encodeAllow(const std::optional<nlohmann::json>& updatedInput,
                                    const std::optional<nlohmann::json>& updatedPermissions) const = 0;
    // The reply that denies the pending tool call with a reason.
    virtual std::string encodeDeny(const std::string& message) const = 0;
};

// Claude Code: answers its "PermissionRequest" hook.
class ClaudeEngineProfile final : public EngineProfile
{
  public:
    // The install target follows the version probe's answers cached in `defaults`, which must
    // outlive the profile.
    explicit ClaudeEngineProfile(const UserDefaults& defaults, bool forwardsUpdatedPermissions = true);

    HookInstallTarget installTarget() const override;
    TranscriptLineParser transcriptLineParser() const override;
    bool autoApprovesReadOnlyTools() const override { return false; }
    bool infersDoneWhenIdle() const override { return false; }
    bool forwardsUpdatedPermissions() const override { return m_forwardsUpdatedPermissions; }
    std::string encodeAllow(const std::optional<nlohmann::json>& updatedInput,
                            const std::optional<nlohmann::json>& updatedPermissions) const override;
    std::string encodeDeny(const std::string& message) const override;

  private:
    const UserDefaults& m_defaults;
    bool m_forwardsUpdatedPermissions;
};

// Codex: answers its "PermissionRequest" hook in Claude Code's format.
class CodexEngineProfile final : public EngineProfile
{
  public:
    explicit CodexEngineProfile(bool forwardsUpdatedPermissions = true);

    HookInstallTarget installTarget() const override;
    TranscriptLineParser transcriptLineParser() const override;
    bool autoApprovesReadOnlyTools() const override { return false; }
    bool infersDoneWhenIdle() const override { return false; }
    bool forwardsUpdatedPermissions() const override { return m_forwardsUpdatedPermissions; }
    std::string encodeAllow(const std::optional<nlohmann::json>& updatedInput,
                            const std::optional<nlohmann::json>& updatedPermissions) const override;
    std::string encodeDeny(const std::string& message) const override;

  private:
    bool m_forwardsUpdatedPermissions;
};

// Cursor: answers "beforeShellExecution" and "beforeMCPExecution".
class CursorEngineProfile final : public EngineProfile
{
  public:
    HookInstallTarget installTarget() const override;
    TranscriptLineParser transcriptLineParser() const override;
    bool autoApprovesReadOnlyTools() const override { return false; }
    bool infersDoneWhenIdle() const override { return false; }
    bool forwardsUpdatedPermissions() const override { return false; }
    std::string encodeAllow(const std::optional<nlohmann::json>& updatedInput,
                            const std::optional<nlohmann::json>& updatedPermissions) const override;
    std::string encodeDeny(const std::string& message) const override;
};

// Gemini CLI: answers "BeforeTool"; it sends no stop event.
class GeminiEngineProfile final : public EngineProfile
{
  public:
    HookInstallTarget installTarget() const override;
    TranscriptLineParser transcriptLineParser() const override;
    bool autoApprovesReadOnlyTools() const override { return true; }
    bool infersDoneWhenIdle() const override { return true; }
    bool forwardsUpdatedPermissions() const override { return false; }
    std::string encodeAllow(const std::optional<nlohmann::json>& updatedInput,
                            const std::optional<nlohmann::json>& updatedPermissions) const override;
    std::string encodeDeny(const std::string& message) const override;
};

// Qwen Code: answers "PreToolUse".
class QwenEngineProfile final : public EngineProfile
{
  public:
    HookInstallTarget installTarget() const override;
    TranscriptLineParser transcriptLineParser() const override;
    bool autoApprovesReadOnlyTools() const override { return true; }
    bool infersDoneWhenIdle() const override { return false; }
    bool forwardsUpdatedPermissions() const override { return false; }
    std::string encodeAllow(const std::optional<nlohmann::json>& updatedInput,
                            const std::optional<nlohmann::json>& updatedPermissions) const override;
    std::string encodeDeny(const std::string& message) const override;
};

} // namespace velquist
