#include "Core/StoredForm.h"

#include <cmath>

namespace velquist::StoredForm {

namespace {

// 1 January 2001 00:00:00 UTC in Unix seconds.
constexpr std::int64_t kReferenceUnixSeconds = 978307200;
constexpr std::int64_t kMicrosPerSecond = 1000000;

const char* typeName(const nlohmann::json& value)
{
    return value.type_name();
}

} // namespace

double encodeDate(Clock::WallTime date)
{
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(date.time_since_epoch()).count();
    const std::int64_t sinceReference = micros - kReferenceUnixSeconds * kMicrosPerSecond;
    return static_cast<double>(sinceReference) / static_cast<double>(kMicrosPerSecond);
}

Clock::WallTime decodeDate(double seconds)
{
    const double micros = std::round(seconds * static_cast<double>(kMicrosPerSecond));
    const auto sinceReference = static_cast<std::int64_t>(micros);
    const std::chrono::microseconds sinceEpoch(sinceReference + kReferenceUnixSeconds * kMicrosPerSecond);
    return Clock::WallTime(std::chrono::duration_cast<Clock::WallTime::duration>(sinceEpoch));
}

nlohmann::ordered_json dateJson(Clock::WallTime date)
{
    const double seconds = encodeDate(date);
    if (std::trunc(seconds) == seconds)
        return static_cast<std::int64_t>(seconds);
    return seconds;
}

void putOptionalDate(nlohmann::ordered_json& object, const char* key,
                     const std::optional<Clock::WallTime>& date)
{
    if (date)
        object[key] = dateJson(*date);
}

void fail(std::string path, std::string message)
{
    throw Failure{DecodeError{std::move(path), std::move(message)}};
}

std::string join(std::string_view path, std::string_view key)
{
    if (path.empty())
        return std::string(key);
    if (key.empty())
        return std::string(path);
    std::string result(path);
    result.push_back('.');
    result.append(key);
    return result;
}

Reader::Reader(const nlohmann::json& object, std::string path) : m_object(object), m_path(std::move(path))
{
    if (!m_object.is_object())
        fail(m_path, std::string("expected an object but found ") + typeName(m_object));
}

const nlohmann::json& Reader::required(std::string_view key) const
{
    const auto found = m_object.find(key);
    if (found == m_object.end())
        fail(pathOf(key), "missing key");
    if (found->is_null())
        fail(pathOf(key), "expected a value but found null");
    return *found;
}

const nlohmann::json* Reader::optional(std::string_view key) const
{
    const auto found = m_object.find(key);
    if (found == m_object.end() || found->is_null())
        return nullptr;
    return &*found;
}

namespace {

std::string readString(const nlohmann::json& value, const std::string& path)
{
    if (!value.is_string())
        fail(path, std::string("expected a string but found ") + typeName(value));
    return value.get<std::string>();
}

std::int64_t readInteger(const nlohmann::json& value, const std::string& path)
{
    if (value.is_number_integer()) {
        if (value.is_number_unsigned() && value.get<std::uint64_t>() > static_cast<std::uint64_t>(INT64_MAX))
            fail(path, "integer out of range");
        return value.get<std::int64_t>();
    }
    if (value.is_number_float()) {
        // A whole number written with a fraction part still reads as an integer.
        const double number = value.get<double>();
        if (std::trunc(number) == number && number >= -9.2e18 && number <= 9.2e18)
            return static_cast<std::int64_t>(number);
    }
    fail(path, std::string("expected an integer but found ") + typeName(value));
}

Clock::WallTime readDate(const nlohmann::json& value, const std::string& path)
{
    if (!value.is_number())
        fail(path, std::string("expected a date (number) but found ") + typeName(value));
    const double seconds = value.get<double>();
    // The clock counts nanoseconds since 1970 in 64 bits: about 292 years either side. A day of
    // margin keeps the rounding of the conversion inside.
    using Seconds = std::chrono::duration<double>;
    constexpr double margin = 86400;
    const double reference = static_cast<double>(kReferenceUnixSeconds);
    const double latest = Seconds(Clock::WallTime::duration::max()).count() - reference - margin;
    const double earliest = Seconds(Clock::WallTime::duration::min()).count() - reference + margin;
    if (!std::isfinite(seconds) || seconds > latest || seconds < earliest)
        fail(path, "date out of range");
    return decodeDate(seconds);
}

} // namespace

std::string Reader::string(std::string_view key) const
{
    return readString(required(key), pathOf(key));
}

std::optional<std::string> Reader::optionalString(std::string_view key) const
{
    const nlohmann::json* value = optional(key);
    if (!value)
        return std::nullopt;
    return readString(*value, pathOf(key));
}

bool Reader::boolean(std::string_view key) const
{
    const nlohmann::json& value = required(key);
    if (!value.is_boolean())
        fail(pathOf(key), std::string("expected a boolean but found ") + typeName(value));
    return value.get<bool>();
}

std::int64_t Reader::integer(std::string_view key) const
{
    return readInteger(required(key), pathOf(key));
}

std::optional<std::int64_t> Reader::optionalInteger(std::string_view key) const
{
    const nlohmann::json* value = optional(key);
    if (!value)
        return std::nullopt;
    return readInteger(*value, pathOf(key));
}

Clock::WallTime Reader::date(std::string_view key) const
{
    return readDate(required(key), pathOf(key));
}

std::optional<Clock::WallTime> Reader::optionalDate(std::string_view key) const
{
    const nlohmann::json* value = optional(key);
    if (!value)
        return std::nullopt;
    return readDate(*value, pathOf(key));
}

std::map<std::string, std::string> Reader::stringMap(std::string_view key) const
{
    const nlohmann::json& value = required(key);
    if (!value.is_object())
        fail(pathOf(key), std::string("expected an object but found ") + typeName(value));
    std::map<std::string, std::string> result;
    for (const auto& [name, entry] : value.items())
        result.emplace(name, readString(entry, join(pathOf(key), name)));
    return result;
}

Reader Reader::object(std::string_view key) const
{
    return Reader(required(key), pathOf(key));
}

std::pair<std::string, Reader> enumerationCase(const nlohmann::json& object, std::string_view path,
                                               std::initializer_list<std::string_view> cases)
{
    if (!object.is_object())
        fail(std::string(path), std::string("expected an object but found ") + typeName(object));
    const nlohmann::json* payload = nullptr;
    std::string name;
    int found = 0;
    for (const std::string_view candidate : cases) {
        const auto it = object.find(candidate);
        if (it == object.end())
            continue;
        ++found;
        payload = &*it;
        name = candidate;
    }
    if (found != 1)
        fail(std::string(path), std::string(kInvalidCaseCount));
    return {name, Reader(*payload, join(path, name))};
}

} // namespace velquist::StoredForm
