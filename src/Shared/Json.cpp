#include "Shared/Json.h"

namespace velquist::Json {

bool withinDepth(std::string_view text, int limit)
{
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (const char c : text) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
            continue;
        }
        switch (c) {
        case '"':
            inString = true;
            break;
        case '[':
        case '{':
            if (++depth > limit)
                return false;
            break;
        case ']':
        case '}':
            --depth;
            break;
        default:
            break;
        }
    }
    return true;
}

template <typename JsonType> static std::optional<JsonType> parseAs(std::string_view text, int depthLimit)
{
    if (!withinDepth(text, depthLimit))
        return std::nullopt;
    JsonType value = JsonType::parse(text.begin(), text.end(), nullptr, /*allow_exceptions=*/false);
    if (value.is_discarded())
        return std::nullopt;
    return value;
}

std::optional<nlohmann::json> parse(std::string_view text, int depthLimit)
{
    return parseAs<nlohmann::json>(text, depthLimit);
}

std::optional<nlohmann::ordered_json> parseOrdered(std::string_view text, int depthLimit)
{
    return parseAs<nlohmann::ordered_json>(text, depthLimit);
}

std::string dump(const nlohmann::json& value, int indent)
{
    return value.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string dump(const nlohmann::ordered_json& value, int indent)
{
    return value.dump(indent, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

const nlohmann::json* member(const nlohmann::json& object, std::string_view key)
{
    if (!object.is_object())
        return nullptr;
    const auto found = object.find(key);
    return found == object.end() ? nullptr : &*found;
}

std::optional<std::string> string(const nlohmann::json& object, std::string_view key)
{
    const auto* value = member(object, key);
    if (!value || !value->is_string())
        return std::nullopt;
    return value->get<std::string>();
}

std::optional<std::string> firstString(const nlohmann::json& object,
                                       std::initializer_list<std::string_view> keys)
{
    for (const auto key : keys) {
        if (auto value = string(object, key))
            return value;
    }
    return std::nullopt;
}

std::optional<std::int64_t> integer(const nlohmann::json& object, std::string_view key)
{
    const auto* value = member(object, key);
    if (!value)
        return std::nullopt;
    if (value->is_number_integer())
        return value->get<std::int64_t>();
    if (value->is_number_float()) {
        const double d = value->get<double>();
        if (d >= -9.0e18 && d <= 9.0e18)
            return static_cast<std::int64_t>(d);
    }
    return std::nullopt;
}

std::optional<double> number(const nlohmann::json& object, std::string_view key)
{
    const auto* value = member(object, key);
    if (!value || !value->is_number())
        return std::nullopt;
    return value->get<double>();
}

std::optional<bool> boolean(const nlohmann::json& object, std::string_view key)
{
    const auto* value = member(object, key);
    if (!value || !value->is_boolean())
        return std::nullopt;
    return value->get<bool>();
}

} // namespace velquist::Json
