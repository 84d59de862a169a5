#pragma once

#include "Platform/Clock.h"

#include <cstdint>
#include <initializer_list>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velquist {

// Why a stored record could not be read: where (a dotted key path, empty for the record itself) and
// what ("Invalid number of keys found, expected one.", a missing key, a wrong type, ...).
struct DecodeError
{
    std::string path;
    std::string message;
    std::string describe() const { return path.empty() ? message : path + ": " + message; }
};

// The outcome of reading one stored record: the value, or the first problem found. Decoding never
// throws, so a caller can skip one bad record and keep the rest.
template <typename T> struct Decoded
{
    std::optional<T> value;
    DecodeError error;

    bool ok() const { return value.has_value(); }
    explicit operator bool() const { return ok(); }
    const T& operator*() const { return *value; }
    const T* operator->() const { return &*value; }
};

// The conventions of stored records: field names as keys; absent optionals left out (a missing key
// or null reads as absent); required fields must be present with the right type, with no defaults;
// an enumeration with payloads is an object with exactly one case key; dates are seconds since
// 1 January 2001 UTC, kept to the microsecond.
namespace StoredForm {

inline constexpr std::string_view kInvalidCaseCount = "Invalid number of keys found, expected one.";

double encodeDate(Clock::WallTime date);
Clock::WallTime decodeDate(double seconds);
// The stored number of a date: an integer when it falls on a whole second.
nlohmann::ordered_json dateJson(Clock::WallTime date);

template <typename Value>
void putOptional(nlohmann::ordered_json& object, const char* key, const std::optional<Value>& value)
{
    if (value)
        object[key] = *value;
}
void putOptionalDate(nlohmann::ordered_json& object, const char* key,
                     const std::optional<Clock::WallTime>& date);

// Thrown inside decoders and turned into a DecodeError by `decode`; it never leaves this module's
// public operations.
struct Failure
{
    DecodeError error;
};

[[noreturn]] void fail(std::string path, std::string message);
std::string join(std::string_view path, std::string_view key);

// Runs a throwing decoder and reports its first failure as a DecodeError.
template <typename T, typename Function> Decoded<T> decode(Function&& read)
{
    Decoded<T> result;
    try {
        result.value.emplace(read());
    } catch (const Failure& failure) {
        result.error = failure.error;
    } catch (const std::exception& error) {
        result.error = DecodeError{{}, error.what()};
    }
    return result;
}

// Reads the fields of one stored object; every failure throws `Failure` with the key path.
class Reader
{
  public:
    Reader(const nlohmann::json& object, std::string path);

    const std::string& path() const { return m_path; }
    std::string pathOf(std::string_view key) const { return join(m_path, key); }

    // The value under `key`; a missing key or null fails.
    const nlohmann::json& required(std::string_view key) const;
    // The value under `key`, or nullptr when missing or null.
    const nlohmann::json* optional(std::string_view key) const;

    std::string string(std::string_view key) const;
    std::optional<std::string> optionalString(std::string_view key) const;
    bool boolean(std::string_view key) const;
    std::int64_t integer(std::string_view key) const;
    std::optional<std::int64_t> optionalInteger(std::string_view key) const;
    Clock::WallTime date(std::string_view key) const;
    std::optional<Clock::WallTime> optionalDate(std::string_view key) const;
    std::map<std::string, std::string> stringMap(std::string_view key) const;
    Reader object(std::string_view key) const;

    // A nested record read with its type's own `fromJson`.
    template <typename T> T record(std::string_view key) const
    {
        return unwrap(T::fromJson(required(key)), pathOf(key));
    }
    template <typename T> std::optional<T> optionalRecord(std::string_view key) const
    {
        const nlohmann::json* value = optional(key);
        if (!value)
            return std::nullopt;
        return unwrap(T::fromJson(*value), pathOf(key));
    }
    template <typename T> std::vector<T> records(std::string_view key) const
    {
        const nlohmann::json& list = required(key);
        if (!list.is_array())
            fail(pathOf(key), "expected an array");
        std::vector<T> result;
        result.reserve(list.size());
        for (std::size_t i = 0; i < list.size(); ++i)
            result.push_back(unwrap(T::fromJson(list[i]), join(pathOf(key), std::to_string(i))));
        return result;
    }

    template <typename T> static T unwrap(Decoded<T> decoded, std::string_view path)
    {
        if (!decoded)
            fail(join(path, decoded.error.path), decoded.error.message);
        return std::move(*decoded.value);
    }

  private:
    const nlohmann::json& m_object;
    std::string m_path;
};

// The one known case key of an enumeration object and the object under it (an object even for
// cases without payload). Unknown keys are ignored; none or several known keys fail with
// kInvalidCaseCount.
std::pair<std::string, Reader> enumerationCase(const nlohmann::json& object, std::string_view path,
                                               std::initializer_list<std::string_view> cases);

} // namespace StoredForm
} // namespace velquist
