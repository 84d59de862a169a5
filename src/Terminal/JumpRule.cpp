#include "Terminal/JumpRule.h"

#include "Core/Session.h"

#include <QUrl>
#include <QUuid>
#include <cctype>

namespace velquist {

namespace {

bool isAlpha(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Characters a URL path takes as they are: unreserved, sub-delimiters without "&" and "=", ":",
// "@" and "/".
bool keptAsIs(char c)
{
    static constexpr std::string_view kept = "-._~!$'()*+,;:@/";
    return isAlpha(c) || isDigit(c) || kept.find(c) != std::string_view::npos;
}

void replaceAll(std::string& text, std::string_view placeholder, const std::string& value)
{
    for (auto at = text.find(placeholder); at != std::string::npos;
         at = text.find(placeholder, at + value.size()))
        text.replace(at, placeholder.size(), value);
}

std::optional<std::string> canonicalUuid(const std::string& text)
{
    const QUuid uuid = QUuid::fromString(QString::fromStdString(text));
    // Only the plain 36-character form is accepted, as written by this store.
    if (uuid.isNull() || text.size() != 36)
        return std::nullopt;
    return uuid.toString(QUuid::WithoutBraces).toUpper().toStdString();
}

} // namespace

JumpRule JumpRule::make(std::string bundleID, std::string urlTemplate, bool isEnabled)
{
    return {QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().toStdString(), std::move(bundleID),
            std::move(urlTemplate), isEnabled};
}

std::optional<std::string> JumpRule::scheme(std::string_view url)
{
    // scheme = ALPHA *( ALPHA / DIGIT / "+" / "-" / "." ) ":"
    if (url.empty() || !isAlpha(url[0]))
        return std::nullopt;
    for (std::size_t i = 1; i < url.size(); ++i) {
        const char c = url[i];
        if (c == ':')
            return std::string(url.substr(0, i));
        if (!isAlpha(c) && !isDigit(c) && c != '+' && c != '-' && c != '.')
            return std::nullopt;
    }
    return std::nullopt;
}

std::string JumpRule::encode(std::string_view value)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string result;
    for (const char c : value) {
        if (keptAsIs(c)) {
            result += c;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            result += '%';
            result += hex[byte >> 4];
            result += hex[byte & 0xF];
        }
    }
    return result;
}

std::optional<std::string> JumpRule::url(const Session& session) const
{
    const auto literalScheme = scheme(urlTemplate);
    if (!literalScheme)
        return std::nullopt;
    const auto& terminal = session.terminal;
    const std::pair<std::string_view, std::optional<std::string>> values[] = {
        {"{tty}", terminal.tty},
        {"{pid}", terminal.ownerPID ? std::optional(std::to_string(*terminal.ownerPID)) : std::nullopt},
        {"{cwd}", session.cwd},
        {"{session}", session.id},
    };
    std::string text = urlTemplate;
    for (const auto& [placeholder, value] : values) {
        if (urlTemplate.find(placeholder) == std::string::npos)
            continue;
        if (!value || value->empty())
            return std::nullopt;
        replaceAll(text, placeholder, encode(*value));
    }
    const QUrl parsed(QString::fromStdString(text), QUrl::StrictMode);
    if (!parsed.isValid() || scheme(text) != literalScheme)
        return std::nullopt;
    return text;
}

nlohmann::ordered_json JumpRule::toJson() const
{
    return {{"id", id}, {"bundleID", bundleID}, {"urlTemplate", urlTemplate}, {"isEnabled", isEnabled}};
}

std::optional<JumpRule> JumpRule::fromJson(const nlohmann::json& json)
{
    if (!json.is_object())
        return std::nullopt;
    const auto id = json.find("id");
    const auto bundleID = json.find("bundleID");
    const auto urlTemplate = json.find("urlTemplate");
    const auto isEnabled = json.find("isEnabled");
    if (id == json.end() || !id->is_string() || bundleID == json.end() || !bundleID->is_string() ||
        urlTemplate == json.end() || !urlTemplate->is_string() || isEnabled == json.end() ||
        !isEnabled->is_boolean())
        return std::nullopt;
    const auto uuid = canonicalUuid(id->get<std::string>());
    if (!uuid)
        return std::nullopt;
    return JumpRule{*uuid, bundleID->get<std::string>(), urlTemplate->get<std::string>(),
                    isEnabled->get<bool>()};
}

} // namespace velquist
