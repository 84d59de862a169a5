#include "Ingestion/TranscriptFields.h"

#include "Ingestion/FastJson.h"
#include "Ingestion/ToolActivity.h"
#include "Shared/Json.h"

#include <cmath>
#include <limits>

namespace velquist::TranscriptFields {

namespace {

// The length of the white space or line break that starts `text`, 0 when it starts otherwise.
// Covers the ASCII blanks and the Unicode space separators and line breaks.
std::size_t blankAtStart(std::string_view text)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    if (text.empty())
        return 0;
    const unsigned char c = byte(0);
    if (c == ' ' || (c >= '\t' && c <= '\r'))
        return 1;
    if (c == 0xC2 && text.size() >= 2 && (byte(1) == 0x85 || byte(1) == 0xA0))
        return 2; // U+0085, U+00A0
    if (text.size() < 3)
        return 0;
    const unsigned char c1 = byte(1), c2 = byte(2);
    if (c == 0xE1 && c1 == 0x9A && c2 == 0x80)
        return 3; // U+1680
    if (c == 0xE2 && c1 == 0x80 && ((c2 >= 0x80 && c2 <= 0x8A) || c2 == 0xA8 || c2 == 0xA9 || c2 == 0xAF))
        return 3; // U+2000..U+200A, U+2028, U+2029, U+202F
    if (c == 0xE2 && c1 == 0x81 && c2 == 0x9F)
        return 3; // U+205F
    if (c == 0xE3 && c1 == 0x80 && c2 == 0x80)
        return 3; // U+3000
    return 0;
}

// The same at the end: steps back over the last character's continuation bytes.
std::size_t blankAtEnd(std::string_view text)
{
    for (std::size_t length = 1; length <= 3 && length <= text.size(); ++length) {
        const auto tail = text.substr(text.size() - length);
        if (length < 3 && (static_cast<unsigned char>(tail[0]) & 0xC0) == 0x80)
            continue;
        return blankAtStart(tail) == length ? length : 0;
    }
    return 0;
}

} // namespace

std::optional<nlohmann::json> object(std::string_view line)
{
    if (line.empty())
        return std::nullopt;
    auto value = FastJson::parse(line);
    if (!value || !value->is_object())
        return std::nullopt;
    return value;
}

const nlohmann::json* objectAt(const nlohmann::json& object, std::string_view key)
{
    const auto* value = Json::member(object, key);
    return value && value->is_object() ? value : nullptr;
}

const nlohmann::json* objectList(const nlohmann::json& object, std::string_view key)
{
    const auto* value = Json::member(object, key);
    if (!value || !value->is_array())
        return nullptr;
    for (const auto& element : *value) {
        if (!element.is_object())
            return nullptr;
    }
    return value;
}

std::optional<std::string> string(const nlohmann::json& object, std::string_view key)
{
    return Json::string(object, key);
}

std::optional<std::int64_t> integer(const nlohmann::json& object, std::string_view key)
{
    const auto* value = Json::member(object, key);
    if (!value)
        return std::nullopt;
    if (value->is_number_integer() && !value->is_number_unsigned())
        return value->get<std::int64_t>();
    if (value->is_number_unsigned()) {
        const auto number = value->get<std::uint64_t>();
        if (number <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            return static_cast<std::int64_t>(number);
        return std::nullopt;
    }
    if (value->is_number_float()) {
        const double number = value->get<double>();
        // Both bounds exactly representable; the upper one is 2^63 itself, so it is excluded.
        if (std::trunc(number) == number && number >= -9223372036854775808.0 &&
            number < 9223372036854775808.0)
            return static_cast<std::int64_t>(number);
    }
    return std::nullopt;
}

std::optional<std::string> nonBlankString(const nlohmann::json& object, std::string_view key)
{
    auto value = Json::string(object, key);
    if (!value || isBlank(*value))
        return std::nullopt;
    return value;
}

std::string_view trimmed(std::string_view text)
{
    while (const std::size_t length = blankAtStart(text))
        text.remove_prefix(length);
    while (const std::size_t length = blankAtEnd(text))
        text.remove_suffix(length);
    return text;
}

std::optional<TranscriptItem> usage(const nlohmann::json& counts,
                                    std::initializer_list<std::string_view> keys,
                                    const nlohmann::json& record)
{
    for (const auto key : keys) {
        if (const auto count = integer(counts, key)) {
            if (*count < 1)
                return std::nullopt;
            return TranscriptItem::usage(*count, string(record, "model"));
        }
    }
    return std::nullopt;
}

TranscriptItem toolUse(std::string name, const nlohmann::json* input)
{
    static const nlohmann::json empty = nlohmann::json::object();
    auto activity = ToolActivity::describe(name, input ? *input : empty);
    return TranscriptItem::assistantToolUse(std::move(name), std::move(activity));
}

} // namespace velquist::TranscriptFields
