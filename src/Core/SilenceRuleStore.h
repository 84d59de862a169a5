#pragma once

#include "Core/SilenceRule.h"
#include "Core/StateFile.h"

#include <QObject>
#include <filesystem>
#include <functional>
#include <optional>

namespace velquist {

// The user's silence rules and the built-in presets, kept in "silence-rules.json", which is
// rewritten whole and atomically on every real change and never for an edit that changes nothing.
// Main thread.
class SilenceRuleStore final : public QObject
{
    Q_OBJECT
  public:
    // `file` is "silence-rules.json" in the support folder. Loads it; never writes. Rules read "~"
    // as `home`; without one they take it literally.
    explicit SilenceRuleStore(std::filesystem::path file, std::filesystem::path home = {},
                              QObject* parent = nullptr);

    const std::vector<SilenceRule>& rules() const { return m_rules; }
    std::vector<SilenceRule> customRules() const;
    std::vector<SilenceRule> presetRules() const;
    const std::filesystem::path& persistenceFile() const { return m_file.path(); }
    const std::filesystem::path& home() const { return m_home; }

    // While true the panel shows silenced sessions too. Never saved.
    bool revealsHidden() const { return m_revealsHidden; }
    void setRevealsHidden(bool reveals);

    // Whether an enabled rule matches a session with this folder and first prompt.
    bool isSilenced(const std::string& cwd, const std::optional<std::string>& firstPrompt) const;

    // Appends a custom rule unless one with the same field, match and pattern (ignoring case)
    // exists.
    void add(const SilenceRule& rule);
    // Switches any rule, preset or custom.
    void setEnabled(bool enabled, const QUuid& id);
    // Edits a custom rule; presets only switch on and off.
    void replace(const QUuid& id, SilenceRule::Field field);
    void replace(const QUuid& id, SilenceRule::Match match);
    void update(const QUuid& id, const std::string& pattern);
    // Removes custom rules with this id; presets stay.
    void remove(const QUuid& id);
    // Reads the file again, for when it has just been moved into place (the support folder's
    // migration from its former name runs after the store exists).
    void reload();

  Q_SIGNALS:
    void rulesChanged();
    void revealsHiddenChanged();

  private:
    void load();
    // Whether the list really changed; only then is it announced and saved.
    bool setRules(std::vector<SilenceRule> rules);
    void editCustom(const QUuid& id, const std::function<void(SilenceRule&)>& edit);
    void save();

    StateFile m_file;
    std::filesystem::path m_home;
    std::vector<SilenceRule> m_rules;
    bool m_revealsHidden = false;
};

} // namespace velquist
