#pragma once

#include "Terminal/JumpRule.h"

#include <QObject>
#include <optional>
#include <vector>

namespace velquist {

class UserDefaults;

// The user's jump rules, in the order they were added, saved in the user defaults at every change.
// Main thread.
class JumpRuleStore final : public QObject
{
    Q_OBJECT

  public:
    static constexpr const char* key = "customJumpRules";
    // Where a stored value that could not be read in full is kept before the first save replaces it.
    static constexpr const char* unreadableKey = "customJumpRules.unreadable";

    explicit JumpRuleStore(UserDefaults& defaults, QObject* parent = nullptr);

    const std::vector<JumpRule>& rules() const { return m_rules; }
    // Replaces the list without saving it.
    void setRules(std::vector<JumpRule> rules);

    // The first enabled rule with a template for the identifier (compared ignoring case).
    std::optional<JumpRule> rule(const std::optional<std::string>& bundleID) const;

    void add(JumpRule rule);
    // Removes every rule with that id.
    void remove(const std::string& id);
    // Changes the given fields of the rule with that id; an unknown id changes and saves nothing.
    void update(const std::string& id, std::optional<std::string> bundleID,
                std::optional<std::string> urlTemplate, std::optional<bool> isEnabled);

  Q_SIGNALS:
    void rulesChanged();

  private:
    void load();
    void save();

    UserDefaults& m_defaults;
    std::vector<JumpRule> m_rules;
    // The stored value as it was found, when part of it could not be read.
    std::optional<nlohmann::json> m_unreadable;
};

} // namespace velquist
