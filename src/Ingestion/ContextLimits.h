#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace velquist {

// Picks the context window of a session whose agent did not report it: 200,000 tokens, or
// 1,000,000 for the extended variant of a model. The extended family comes from the "model" of the
// Claude settings file ("<family>[1m]"), re-read only when the file's modification time changes.
// One per adapter, used on its thread only.
class ContextLimits
{
  public:
    static constexpr std::int64_t kDefaultWindow = 200000;
    static constexpr std::int64_t kExtendedWindow = 1000000;

    explicit ContextLimits(std::filesystem::path settingsFile);

    // The window to assume, knowing no model, for a session that has used `observedTokens` at most.
    static std::int64_t windowFor(std::int64_t observedTokens)
    {
        return observedTokens > kDefaultWindow ? kExtendedWindow : kDefaultWindow;
    }
    // The window to assume for a session with this model that has used `observedTokens` at most.
    std::int64_t limit(const std::optional<std::string>& model, std::int64_t observedTokens);

    const std::filesystem::path& settingsFile() const { return m_settingsFile; }

  private:
    using FileTime = std::chrono::nanoseconds;

    std::optional<std::string> extendedFamily();
    static std::optional<std::string> readModel(const std::filesystem::path& file);

    std::filesystem::path m_settingsFile;
    bool m_hasRead = false;                   // whether the file was ever read
    std::optional<std::string> m_cachedModel; // the model found at the last read
    std::optional<FileTime> m_cachedMTime;
};

} // namespace velquist
