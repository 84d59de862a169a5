#pragma once

#include "Ingestion/HookInstaller.h"
#include "Ingestion/TranscriptItem.h"
#include "Shared/HomePaths.h"

#include <memory>
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
    // How the adapter treats the agent's requests.
    struct Traits
    {
        // Read and search tools are allowed at once, without asking the user.
        bool autoApprovesReadOnlyTools = false;
        // A quiet session is marked done, because the agent sends no stop event.
        bool infersDoneWhenIdle = false;
        // An always-allow decision passes the agent's own permission suggestions back to it.
        bool forwardsUpdatedPermissions = false;
    };

    virtual ~EngineProfile() = default;

    // The profile of a catalogued agent, its hooks below the home folder of `paths`; none for a
    // row without one. `defaults` must outlive the profile.
    static std::unique_ptr<const EngineProfile> forAgent(const AgentEntry& agent, const HomePaths& paths,
                                                         const UserDefaults& defaults);

    // Where and how the agent's hooks are installed.
    virtual HookInstallTarget installTarget() const = 0;
    // The agent's transcript line parser, safe to call from any thread.
    virtual TranscriptLineParser transcriptLineParser() const = 0;
    const Traits& traits() const { return m_traits; }
    bool autoApprovesReadOnlyTools() const { return m_traits.autoApprovesReadOnlyTools; }
    bool infersDoneWhenIdle() const { return m_traits.infersDoneWhenIdle; }
    bool forwardsUpdatedPermissions() const { return m_traits.forwardsUpdatedPermissions; }
    // The reply that allows the pending tool call, optionally with a changed input and permission
    // updates (each engine keeps only what it understands).
    virtual std::string encodeAllow(const std::optional<nlohmann::json>& updatedInput,
                                    const std::optional<nlohmann::json>& updatedPermissions) const = 0;
    // The reply that denies the pending tool call with a reason.
    virtual std::string encodeDeny(const std::string& message) const = 0;

  protected:
    explicit EngineProfile(Traits traits) : m_traits(traits) {}

  private:
    Traits m_traits;
};

// Claude Code and Codex answer their "PermissionRequest" hook in the same format.
class PermissionRequestProfile : public EngineProfile
{
  public:
    std::string encodeAllow(const std::optional<nlohmann::json>& updatedInput,
                            const std::optional<nlohmann::json>& updatedPermissions) const override;
    std::string encodeDeny(const std::string& message) const override;

  protected:
    using EngineProfile::EngineProfile;
};

class ClaudeEngineProfile final : public PermissionRequestProfile
{
  public:
    // The hooks go into the files below the home folder of `paths`. The install target follows
    // the version probe's answers cached in `defaults`, which must outlive the profile.
    ClaudeEngineProfile(HomePaths paths, const UserDefaults& defaults,
                        bool forwardsUpdatedPermissions = true);
    HookInstallTarget installTarget() const override;
    TranscriptLineParser transcriptLineParser() const override;

  private:
    HomePaths m_paths;
    const UserDefaults& m_defaults;
};

class CodexEngineProfile final : public PermissionRequestProfile
{
  public:
    explicit CodexEngineProfile(HomePaths paths, bool forwardsUpdatedPermissions = true);
    HookInstallTarget installTarget() const override;
    TranscriptLineParser transcriptLineParser() const override;

  private:
    HomePaths m_paths;
};

// Cursor: answers "beforeShellExecution" and "beforeMCPExecution".
class CursorEngineProfile final : public EngineProfile
{
  public:
    explicit CursorEngineProfile(HomePaths paths);
    HookInstallTarget installTarget() const override;
    TranscriptLineParser transcriptLineParser() const override;
    std::string encodeAllow(const std::optional<nlohmann::json>& updatedInput,
                            const std::optional<nlohmann::json>& updatedPermissions) const override;
    std::string encodeDeny(const std::string& message) const override;

  private:
    HomePaths m_paths;
};

// Gemini CLI: answers "BeforeTool"; it sends no stop event.
class GeminiEngineProfile final : public EngineProfile
{
  public:
    explicit GeminiEngineProfile(HomePaths paths);
    HookInstallTarget installTarget() const override;
    TranscriptLineParser transcriptLineParser() const override;
    std::string encodeAllow(const std::optional<nlohmann::json>& updatedInput,
                            const std::optional<nlohmann::json>& updatedPermissions) const override;
    std::string encodeDeny(const std::string& message) const override;

  private:
    HomePaths m_paths;
};

// Qwen Code: answers its Claude-shaped "PermissionRequest" hook in Claude Code's format.
class QwenEngineProfile final : public PermissionRequestProfile
{
  public:
    explicit QwenEngineProfile(HomePaths paths);
    HookInstallTarget installTarget() const override;
    TranscriptLineParser transcriptLineParser() const override;

  private:
    HomePaths m_paths;
};

} // namespace velquist
