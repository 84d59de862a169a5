#include "Terminal/JumpRuleStore.h"

#include "Platform/UserDefaults.h"
#include "Shared/Json.h"
#include "Shared/Log.h"

#include <algorithm>
#include <cctype>

namespace velquist {

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The compact JSON the rules are stored as, with "/" written "\/" as the original format does.
std::string encodeRules(const std::vector<JumpRule>& rules)
{
    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    for (const auto& rule : rules)
        array.push_back(rule.toJson());
    const std::string compact = array.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    std::string escaped;
    for (const char c : compact) {
        if (c == '/')
            escaped += '\\';
        escaped += c;
    }
    return escaped;
}

} // namespace

JumpRuleStore::JumpRuleStore(UserDefaults& defaults, QObject* parent) : QObject(parent), m_defaults(defaults)
{
    load();
}

void JumpRuleStore::load()
{
    const auto stored = m_defaults.value(key);
    if (!stored)
        return;
    // Stored as the JSON text of the array; an array itself is read as well.
    std::optional<nlohmann::json> array;
    if (stored->is_string()) {
        array = Json::parse(stored->get<std::string>());
    } else {
        array = *stored;
    }
    if (!array || !array->is_array()) {
        Log::debug("focus", "stored jump rules are unreadable; kept aside at the next change");
        m_unreadable = *stored;
        return;
    }
    for (const auto& item : *array) {
        if (auto rule = JumpRule::fromJson(item))
            m_rules.push_back(std::move(*rule));
        else
            m_unreadable = *stored;
    }
    if (m_unreadable)
        Log::debug("focus", "skipped malformed jump rules; the stored list is kept aside at the next change");
}

void JumpRuleStore::setRules(std::vector<JumpRule> rules)
{
    m_rules = std::move(rules);
    Q_EMIT rulesChanged();
}

std::optional<JumpRule> JumpRuleStore::rule(const std::optional<std::string>& bundleID) const
{
    if (!bundleID || bundleID->empty())
        return std::nullopt;
    for (const auto& rule : m_rules) {
        if (rule.isEnabled && !rule.urlTemplate.empty() && equalsIgnoringCase(rule.bundleID, *bundleID))
            return rule;
    }
    return std::nullopt;
}

void JumpRuleStore::add(JumpRule rule)
{
    m_rules.push_back(std::move(rule));
    save();
    Q_EMIT rulesChanged();
}

void JumpRuleStore::remove(const std::string& id)
{
    std::erase_if(m_rules, [&id](const JumpRule& rule) { return rule.id == id; });
    save();
    Q_EMIT rulesChanged();
}

void JumpRuleStore::update(const std::string& id, std::optional<std::string> bundleID,
                           std::optional<std::string> urlTemplate, std::optional<bool> isEnabled)
{
    const auto rule =
        std::find_if(m_rules.begin(), m_rules.end(), [&id](const JumpRule& r) { return r.id == id; });
    if (rule == m_rules.end())
        return;
    if (bundleID)
        rule->bundleID = std::move(*bundleID);
    if (urlTemplate)
        rule->urlTemplate = std::move(*urlTemplate);
    if (isEnabled)
        rule->isEnabled = *isEnabled;
    save();
    Q_EMIT rulesChanged();
}

void JumpRuleStore::save()
{
    if (m_unreadable) {
        // Rules that could not be read are the user's too: they stay where the user can find them.
        m_defaults.setValue(unreadableKey, std::move(*m_unreadable));
        m_unreadable.reset();
    }
    m_defaults.setValue(key, encodeRules(m_rules));
}

} // namespace velquist
