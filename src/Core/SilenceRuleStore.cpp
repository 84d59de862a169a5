#include "Core/SilenceRuleStore.h"

#include "Shared/FileUtil.h"
#include "Shared/Json.h"
#include "Shared/Log.h"

#include <QString>
#include <algorithm>

namespace velquist {

SilenceRuleStore::SilenceRuleStore(std::filesystem::path file, std::filesystem::path home, QObject* parent)
    : QObject(parent), m_file(std::move(file)), m_home(std::move(home))
{
    load();
}

std::vector<SilenceRule> SilenceRuleStore::customRules() const
{
    std::vector<SilenceRule> result;
    std::copy_if(m_rules.begin(), m_rules.end(), std::back_inserter(result),
                 [](const SilenceRule& rule) { return !rule.isPreset(); });
    return result;
}

std::vector<SilenceRule> SilenceRuleStore::presetRules() const
{
    std::vector<SilenceRule> result;
    std::copy_if(m_rules.begin(), m_rules.end(), std::back_inserter(result),
                 [](const SilenceRule& rule) { return rule.isPreset(); });
    return result;
}

void SilenceRuleStore::setRevealsHidden(bool reveals)
{
    if (reveals == m_revealsHidden)
        return;
    m_revealsHidden = reveals;
    Q_EMIT revealsHiddenChanged();
}

bool SilenceRuleStore::isSilenced(const std::string& cwd, const std::optional<std::string>& firstPrompt) const
{
    return std::any_of(m_rules.begin(), m_rules.end(),
                       [&](const SilenceRule& rule) { return rule.matches(cwd, firstPrompt, m_home); });
}

void SilenceRuleStore::add(const SilenceRule& rule)
{
    const QString pattern = QString::fromStdString(rule.pattern);
    for (const auto& existing : m_rules) {
        if (!existing.isPreset() && existing.field == rule.field && existing.match == rule.match &&
            QString::fromStdString(existing.pattern).compare(pattern, Qt::CaseInsensitive) == 0)
            return;
    }
    auto rules = m_rules;
    rules.push_back(rule);
    if (setRules(std::move(rules)))
        save();
}

void SilenceRuleStore::setEnabled(bool enabled, const QUuid& id)
{
    auto rules = m_rules;
    auto found =
        std::find_if(rules.begin(), rules.end(), [&](const SilenceRule& rule) { return rule.id == id; });
    if (found == rules.end())
        return;
    found->isEnabled = enabled;
    if (setRules(std::move(rules)))
        save();
}

void SilenceRuleStore::editCustom(const QUuid& id, const std::function<void(SilenceRule&)>& edit)
{
    auto rules = m_rules;
    auto found =
        std::find_if(rules.begin(), rules.end(), [&](const SilenceRule& rule) { return rule.id == id; });
    if (found == rules.end() || found->isPreset())
        return;
    edit(*found);
    if (setRules(std::move(rules)))
        save();
}

void SilenceRuleStore::replace(const QUuid& id, SilenceRule::Field field)
{
    editCustom(id, [&](SilenceRule& rule) { rule.field = field; });
}

void SilenceRuleStore::replace(const QUuid& id, SilenceRule::Match match)
{
    editCustom(id, [&](SilenceRule& rule) { rule.match = match; });
}

void SilenceRuleStore::update(const QUuid& id, const std::string& pattern)
{
    editCustom(id, [&](SilenceRule& rule) { rule.pattern = pattern; });
}

void SilenceRuleStore::remove(const QUuid& id)
{
    auto rules = m_rules;
    std::erase_if(rules, [&](const SilenceRule& rule) { return !rule.isPreset() && rule.id == id; });
    if (setRules(std::move(rules)))
        save();
}

bool SilenceRuleStore::setRules(std::vector<SilenceRule> rules)
{
    if (rules == m_rules)
        return false;
    m_rules = std::move(rules);
    Q_EMIT rulesChanged();
    return true;
}

void SilenceRuleStore::reload()
{
    load();
}

void SilenceRuleStore::load()
{
    std::vector<SilenceRule> stored;
    const FileRead read = FileUtil::read(m_file.path(), 4 * 1024 * 1024);
    if (read.ok()) {
        const auto parsed = Json::parse(read.bytes);
        if (!parsed || !parsed->is_array()) {
            m_file.keepOriginal();
            Log::debug("store", "silence rules file is unreadable; it will be kept aside");
        } else {
            // One unreadable element costs only itself, never the user's other rules.
            for (const auto& element : *parsed) {
                if (auto rule = SilenceRule::fromJson(element))
                    stored.push_back(std::move(*rule));
                else
                    m_file.keepOriginal();
            }
        }
    } else if (read.status != FileRead::Status::missing) {
        m_file.keepOriginal();
    }

    std::vector<SilenceRule> rules;
    for (const auto& rule : stored) {
        if (!rule.isPreset())
            rules.push_back(rule);
    }
    for (const auto& preset : SilenceRule::presets()) {
        auto saved = std::find_if(stored.begin(), stored.end(), [&](const SilenceRule& rule) {
            return rule.presetName == preset.presetName;
        });
        if (saved == stored.end()) {
            rules.push_back(preset);
            continue;
        }
        SilenceRule merged = preset;
        merged.id = saved->id;
        merged.isEnabled = saved->isEnabled;
        rules.push_back(std::move(merged));
    }
    m_rules = std::move(rules);
}

void SilenceRuleStore::save()
{
    nlohmann::json array = nlohmann::json::array();
    for (const auto& rule : m_rules)
        array.push_back(rule.toJson());
    m_file.write(Json::dump(array));
}

} // namespace velquist
