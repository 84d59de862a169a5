#include "Core/SilenceRule.h"

#include "Shared/Json.h"

#include <QString>

namespace velquist {

namespace {

QString lowered(const std::string& text)
{
    return QString::fromStdString(text).toLower();
}

std::string trimmed(const std::string& text, const char* blanks)
{
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

constexpr const char* kSpacesAndTabs = " \t";
constexpr const char* kWhitespaceAndNewlines = " \t\n\r\v\f";

std::optional<SilenceRule::Field> fieldFrom(const std::string& text)
{
    if (text == "directory")
        return SilenceRule::Field::directory;
    if (text == "prompt")
        return SilenceRule::Field::prompt;
    return std::nullopt;
}

std::optional<SilenceRule::Match> matchFrom(const std::string& text)
{
    if (text == "contains")
        return SilenceRule::Match::contains;
    if (text == "prefix")
        return SilenceRule::Match::prefix;
    return std::nullopt;
}

SilenceRule preset(const char* name, const char* detail, SilenceRule::Match match, const char* pattern)
{
    SilenceRule rule;
    rule.id = QUuid::createUuid();
    rule.field = SilenceRule::Field::directory;
    rule.match = match;
    rule.pattern = pattern;
    rule.isEnabled = false;
    rule.presetName = name;
    rule.presetDetail = detail;
    return rule;
}

} // namespace

const std::vector<SilenceRule>& SilenceRule::presets()
{
    // Claude Code's helper sessions run from any ".claude" folder, the home one or a project's, so
    // that rule looks anywhere in the path; the temporary folder is a prefix, the folder and below.
    static const std::vector<SilenceRule> kPresets = {
        preset("Sessions inside ~/.claude",
               "Helper sessions that run from Claude Code's own config directory rather than a project.",
               Match::contains, "/.claude/"),
        preset("Sessions in temporary directories", "Scratchpad and throwaway sessions under /tmp.",
               Match::prefix, "/tmp"),
    };
    return kPresets;
}

std::string SilenceRule::normalizePath(const std::string& path, const std::filesystem::path& home)
{
    std::string result = trimmed(path, kSpacesAndTabs);
    if (!home.empty() && result == "~")
        result = home.string();
    else if (!home.empty() && result.starts_with("~/"))
        result = home.string() + result.substr(1);
    while (result.size() >= 2 && result.back() == '/')
        result.pop_back();
    return result;
}

bool SilenceRule::matchesPath(const std::string& path, const std::string& pattern, Match match,
                              const std::filesystem::path& home)
{
    const std::string p = normalizePath(pattern, home);
    const std::string c = normalizePath(path, home);
    if (p.empty() || c.empty())
        return false;
    const QString lp = lowered(p);
    const QString lc = lowered(c);
    if (match == Match::contains)
        return lc.contains(lp);
    return lc == lp || lc.startsWith(lp + QLatin1Char('/'));
}

bool SilenceRule::matchesText(const std::optional<std::string>& text, const std::string& pattern, Match match)
{
    const std::string p = trimmed(pattern, kWhitespaceAndNewlines);
    if (p.empty() || !text)
        return false;
    const std::string t = trimmed(*text, kWhitespaceAndNewlines);
    if (t.empty())
        return false;
    if (match == Match::contains)
        return lowered(t).contains(lowered(p));
    return lowered(t).startsWith(lowered(p));
}

bool SilenceRule::matches(const std::string& cwd, const std::optional<std::string>& firstPrompt,
                          const std::filesystem::path& home) const
{
    if (!isEnabled)
        return false;
    return field == Field::prompt ? matchesText(firstPrompt, pattern, match)
                                  : matchesPath(cwd, pattern, match, home);
}

nlohmann::json SilenceRule::toJson() const
{
    nlohmann::json object = {
        {"id", id.toString(QUuid::WithoutBraces).toUpper().toStdString()},
        {"field", field == Field::directory ? "directory" : "prompt"},
        {"match", match == Match::contains ? "contains" : "prefix"},
        {"pattern", pattern},
        {"isEnabled", isEnabled},
    };
    if (presetName)
        object["presetName"] = *presetName;
    if (presetDetail)
        object["presetDetail"] = *presetDetail;
    return object;
}

std::optional<SilenceRule> SilenceRule::fromJson(const nlohmann::json& object)
{
    const auto id = Json::string(object, "id");
    const auto field = Json::string(object, "field");
    const auto match = Json::string(object, "match");
    const auto pattern = Json::string(object, "pattern");
    const auto enabled = Json::boolean(object, "isEnabled");
    if (!id || !field || !match || !pattern || !enabled)
        return std::nullopt;
    SilenceRule rule;
    rule.id = QUuid::fromString(QString::fromStdString(*id));
    const auto parsedField = fieldFrom(*field);
    const auto parsedMatch = matchFrom(*match);
    if (rule.id.isNull() || !parsedField || !parsedMatch)
        return std::nullopt;
    rule.field = *parsedField;
    rule.match = *parsedMatch;
    rule.pattern = *pattern;
    rule.isEnabled = *enabled;
    // Optional keys of the wrong type make the element unreadable, like the required ones.
    for (auto [key, target] :
         {std::pair{"presetName", &rule.presetName}, {"presetDetail", &rule.presetDetail}}) {
        if (const auto* value = Json::member(object, key)) {
            if (!value->is_string())
                return std::nullopt;
            *target = value->get<std::string>();
        }
    }
    return rule;
}

} // namespace velquist
