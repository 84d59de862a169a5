#include "Ingestion/TranscriptFields.h"

#include "Ingestion/FastJson.h"
#include "Ingestion/ToolActivity.h"

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

std::optional<Value> object(std::string_view line)
{
    if (line.empty())
        return std::nullopt;
    const auto value = FastJson::document(line);
    if (!value || !value->is_object())
        return std::nullopt;
    return value;
}

std::optional<Value> member(Value object, std::string_view key)
{
    simdjson::dom::object fields;
    if (object.get_object().get(fields) != simdjson::SUCCESS)
        return std::nullopt;
    std::optional<Value> found;
    for (const auto field : fields) {
        if (field.key == key)
            found = field.value;
    }
    return found;
}

std::optional<Value> objectAt(Value object, std::string_view key)
{
    auto value = member(object, key);
    if (!value || !value->is_object())
        return std::nullopt;
    return value;
}

std::optional<simdjson::dom::array> objectList(Value object, std::string_view key)
{
    const auto value = member(object, key);
    simdjson::dom::array list;
    if (!value || value->get_array().get(list) != simdjson::SUCCESS)
        return std::nullopt;
    for (const auto element : list) {
        if (!element.is_object())
            return std::nullopt;
    }
    return list;
}

std::optional<std::string_view> text(Value object, std::string_view key)
{
    const auto value = member(object, key);
    std::string_view result;
    if (!value || value->get_string().get(result) != simdjson::SUCCESS)
        return std::nullopt;
    return result;
}

std::optional<std::string> string(Value object, std::string_view key)
{
    if (const auto value = text(object, key))
        return std::string(*value);
    return std::nullopt;
}

std::optional<std::int64_t> integer(Value object, std::string_view key)
{
    const auto value = member(object, key);
    if (!value)
        return std::nullopt;
    // A number too large for 64 bits arrives as a double, so every case is one of these.
    switch (value->type()) {
    case simdjson::dom::element_type::INT64:
        return std::int64_t(*value);
    case simdjson::dom::element_type::UINT64: {
        const auto number = std::uint64_t(*value);
        if (number <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            return static_cast<std::int64_t>(number);
        return std::nullopt;
    }
    case simdjson::dom::element_type::DOUBLE: {
        const double number = double(*value);
        // Both bounds exactly representable; the upper one is 2^63 itself, so it is excluded.
        if (std::trunc(number) == number && number >= -9223372036854775808.0 &&
            number < 9223372036854775808.0)
            return static_cast<std::int64_t>(number);
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

std::optional<bool> boolean(Value object, std::string_view key)
{
    const auto value = member(object, key);
    bool result = false;
    if (!value || value->get_bool().get(result) != simdjson::SUCCESS)
        return std::nullopt;
    return result;
}

std::optional<std::string> nonBlankString(Value object, std::string_view key)
{
    const auto value = text(object, key);
    if (!value || isBlank(*value))
        return std::nullopt;
    return std::string(*value);
}

std::string_view trimmed(std::string_view text)
{
    while (const std::size_t length = blankAtStart(text))
        text.remove_prefix(length);
    while (const std::size_t length = blankAtEnd(text))
        text.remove_suffix(length);
    return text;
}

std::optional<TranscriptItem> usage(Value counts, std::initializer_list<std::string_view> keys, Value record)
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

TranscriptItem toolUse(std::string name, std::optional<Value> input)
{
    if (!input)
        return toolUse(std::move(name), nullptr);
    const auto inputTree = tree(*input);
    return toolUse(std::move(name), &inputTree);
}

nlohmann::json tree(Value value)
{
    return FastJson::tree(value);
}

} // namespace velquist::TranscriptFields
