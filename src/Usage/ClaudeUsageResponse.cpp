#include "Usage/ClaudeUsageResponse.h"

#include "Shared/Json.h"
#include "Usage/UsageText.h"

#include <QDateTime>
#include <algorithm>
#include <map>
#include <set>

namespace velquist {

namespace {

using JsonValue = nlohmann::json;

// Thrown inside decoding when a present field has the wrong type; caught at the top.
struct Mismatch
{
};

// The member whose key, in camel case, is `field`; nullptr when absent or null.
const JsonValue* member(const JsonValue& object, std::string_view field)
{
    const JsonValue* found = nullptr;
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (UsageText::camelCaseKey(it.key()) == field)
            found = &it.value();
    }
    return found && !found->is_null() ? found : nullptr;
}

const JsonValue& object(const JsonValue* value)
{
    if (!value->is_object())
        throw Mismatch{};
    return *value;
}

std::optional<double> number(const JsonValue& in, std::string_view field)
{
    const JsonValue* value = member(in, field);
    if (!value)
        return std::nullopt;
    if (!value->is_number())
        throw Mismatch{};
    return value->get<double>();
}

std::optional<std::string> text(const JsonValue& in, std::string_view field)
{
    const JsonValue* value = member(in, field);
    if (!value)
        return std::nullopt;
    if (!value->is_string())
        throw Mismatch{};
    return value->get<std::string>();
}

std::optional<Clock::WallTime> date(const JsonValue& in, std::string_view field)
{
    const auto value = text(in, field);
    if (!value)
        return std::nullopt;
    const auto parsed = ClaudeUsageResponse::parseDate(*value);
    if (!parsed)
        throw Mismatch{};
    return parsed;
}

std::optional<ClaudeUsageResponse::UsageWindow> usageWindow(const JsonValue& in, std::string_view field)
{
    const JsonValue* value = member(in, field);
    if (!value)
        return std::nullopt;
    const JsonValue& window = object(value);
    return ClaudeUsageResponse::UsageWindow{number(window, "utilization"), date(window, "resetsAt")};
}

ClaudeUsageResponse::Limit limit(const JsonValue& value)
{
    const JsonValue& in = object(&value);
    ClaudeUsageResponse::Limit result{text(in, "kind"), text(in, "group"), number(in, "percent"),
                                      date(in, "resetsAt"), std::nullopt};
    if (const JsonValue* scope = member(in, "scope")) {
        if (const JsonValue* model = member(object(scope), "model")) {
            text(object(model), "id");
            result.modelName = text(*model, "displayName");
        }
    }
    return result;
}

std::string replaced(std::string text, char from, std::string_view to)
{
    std::string result;
    for (char c : text) {
        if (c == from)
            result += to;
        else
            result += c;
    }
    return result;
}

std::string lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return c < 0x80 ? static_cast<char>(std::tolower(c)) : static_cast<char>(c);
    });
    return text;
}

} // namespace

std::optional<Clock::WallTime> ClaudeUsageResponse::parseDate(std::string_view text)
{
    // A date-time without a zone would be read as local time: refuse it.
    const bool zoned = text.ends_with('Z') || text.ends_with('z') ||
                       (text.size() > 6 && (text[text.size() - 6] == '+' || text[text.size() - 6] == '-') &&
                        text[text.size() - 3] == ':');
    if (!zoned || text.size() < 20 || text[10] != 'T')
        return std::nullopt;
    const QDateTime parsed = QDateTime::fromString(
        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), Qt::ISODateWithMs);
    if (!parsed.isValid())
        return std::nullopt;
    return Clock::WallTime(std::chrono::milliseconds(parsed.toMSecsSinceEpoch()));
}

std::optional<ClaudeUsageResponse> ClaudeUsageResponse::decode(std::string_view body)
{
    const auto parsed = Json::parse(body);
    if (!parsed || !parsed->is_object())
        return std::nullopt;
    try {
        ClaudeUsageResponse response;
        response.fiveHour = usageWindow(*parsed, "fiveHour");
        response.sevenDay = usageWindow(*parsed, "sevenDay");
        if (const JsonValue* limits = member(*parsed, "limits")) {
            if (!limits->is_array())
                throw Mismatch{};
            response.limits.emplace();
            for (const JsonValue& entry : *limits)
                response.limits->push_back(limit(entry));
        }
        return response;
    } catch (const Mismatch&) {
        return std::nullopt;
    }
}

std::vector<QuotaWindow> ClaudeUsageResponse::windowsFromLimits() const
{
    std::vector<QuotaWindow> windows;
    if (!limits)
        return windows;
    std::map<std::string, int> uses;
    std::set<std::string> taken;
    for (const Limit& limit : *limits) {
        if (!limit.kind)
            continue;
        QuotaWindow window;
        const std::string& kind = *limit.kind;
        if (kind == "session") {
            window.id = "session";
            window.displayName = "Session (5h)";
        } else if (kind == "weekly_all") {
            window.id = "weekly";
            window.displayName = "Weekly";
        } else if (kind == "weekly_scoped") {
            const std::string model = limit.modelName.value_or("Model");
            window.id = "weekly-" + lowered(replaced(model, ' ', "-"));
            window.displayName = model + " Weekly";
        } else {
            window.id = kind;
            window.displayName = UsageText::capitalizedWords(replaced(kind, '_', " "));
        }
        // A second limit of the same id (two scoped limits without a model) gets its own, so
        // that each window's warning is remembered on its own.
        if (!taken.insert(window.id).second) {
            const std::string base = window.id;
            int& count = uses[base];
            do
                window.id = base + "-" + std::to_string(++count + 1);
            while (!taken.insert(window.id).second);
        }
        window.usagePercent = limit.percent.value_or(0);
        window.resetsAt = limit.resetsAt;
        windows.push_back(std::move(window));
    }
    return windows;
}

std::vector<QuotaWindow> ClaudeUsageResponse::windowsFromLegacyFields() const
{
    std::vector<QuotaWindow> windows;
    if (fiveHour)
        windows.push_back({"session", "Session (5h)", fiveHour->utilization.value_or(0), fiveHour->resetsAt});
    if (sevenDay)
        windows.push_back({"weekly", "Weekly", sevenDay->utilization.value_or(0), sevenDay->resetsAt});
    return windows;
}

} // namespace velquist
