#include "Characters/CharacterManifest.h"

#include "Shared/Json.h"

#include <cmath>
#include <limits>

namespace velquist {
namespace {

using nlohmann::json;

// Decoding stops at the first fault; the message names the key path that failed.
class Decoder
{
  public:
    explicit Decoder(std::string* error) : m_error(error) {}

    bool fail(const std::string& message)
    {
        if (m_error && m_error->empty())
            *m_error = message;
        return false;
    }

    // A member that is absent or null counts as missing.
    static const json* present(const json& object, const char* key)
    {
        const json* value = Json::member(object, key);
        return value && !value->is_null() ? value : nullptr;
    }

    bool string(const json& object, const char* key, std::string& out, const std::string& where)
    {
        const json* value = present(object, key);
        if (!value)
            return fail(where + key + ": missing");
        if (!value->is_string())
            return fail(where + key + ": not a string");
        out = value->get<std::string>();
        return true;
    }

    // A whole JSON number that fits in 64 bits; 32.5 is refused, 32.0 taken as 32.
    bool integer(const json& value, std::int64_t& out, const std::string& what)
    {
        if (value.is_number_unsigned()) {
            const auto raw = value.get<std::uint64_t>();
            if (raw > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
                return fail(what + ": out of range");
            out = static_cast<std::int64_t>(raw);
            return true;
        }
        if (value.is_number_integer()) {
            out = value.get<std::int64_t>();
            return true;
        }
        if (value.is_number_float()) {
            const double raw = value.get<double>();
            // 2^63 is exactly representable; anything at or beyond it does not fit.
            if (std::trunc(raw) != raw || raw < -9223372036854775808.0 || raw >= 9223372036854775808.0)
                return fail(what + ": not a whole number in range");
            out = static_cast<std::int64_t>(raw);
            return true;
        }
        return fail(what + ": not a number");
    }

    bool requiredInteger(const json& object, const char* key, std::int64_t& out, const std::string& where)
    {
        const json* value = present(object, key);
        if (!value)
            return fail(where + key + ": missing");
        return integer(*value, out, where + key);
    }

    bool number(const json& value, double& out, const std::string& what)
    {
        if (!value.is_number())
            return fail(what + ": not a number");
        out = value.get<double>();
        return true;
    }

    bool step(const json& object, AnimationStep& out, bool readsPlays, const std::string& where)
    {
        if (!object.is_object())
            return fail(where + ": not an object");
        if (!string(object, "file", out.file, where + "."))
            return false;
        if (!requiredInteger(object, "frames", out.frames, where + "."))
            return false;
        const json* fps = present(object, "fps");
        if (!fps)
            return fail(where + ".fps: missing");
        if (!number(*fps, out.fps, where + ".fps"))
            return false;
        out.plays = 1;
        if (readsPlays) {
            if (const json* plays = present(object, "plays"))
                return integer(*plays, out.plays, where + ".plays");
        }
        return true;
    }

    bool animation(const json& object, MoodAnimation& out, const std::string& where)
    {
        if (!object.is_object())
            return fail(where + ": not an object");
        out.loops = true;
        if (const json* loop = present(object, "loop")) {
            if (!loop->is_boolean())
                return fail(where + ".loop: not a Boolean");
            out.loops = loop->get<bool>();
        }
        if (const json* sequence = present(object, "sequence")) {
            if (!sequence->is_array())
                return fail(where + ".sequence: not an array");
            for (std::size_t i = 0; i < sequence->size(); ++i) {
                AnimationStep parsed;
                if (!step((*sequence)[i], parsed, true, where + ".sequence[" + std::to_string(i) + "]"))
                    return false;
                out.steps.push_back(std::move(parsed));
            }
            return true;
        }
        // The inline form always plays once.
        AnimationStep single;
        if (!step(object, single, false, where))
            return false;
        out.steps.push_back(std::move(single));
        return true;
    }

  private:
    std::string* m_error;
};

} // namespace

std::optional<CharacterManifest> CharacterManifest::parse(std::string_view text, std::string* error)
{
    Decoder decoder(error);
    const auto document = Json::parse(text);
    if (!document) {
        decoder.fail("not valid JSON");
        return std::nullopt;
    }
    if (!document->is_object()) {
        decoder.fail("not a JSON object");
        return std::nullopt;
    }
    CharacterManifest manifest;
    if (!decoder.string(*document, "name", manifest.name, "") ||
        !decoder.string(*document, "credit", manifest.credit, "") ||
        !decoder.requiredInteger(*document, "frameWidth", manifest.frameWidth, "") ||
        !decoder.requiredInteger(*document, "frameHeight", manifest.frameHeight, ""))
        return std::nullopt;
    const json* animations = Decoder::present(*document, "animations");
    if (!animations) {
        decoder.fail("animations: missing");
        return std::nullopt;
    }
    if (!animations->is_object()) {
        decoder.fail("animations: not an object");
        return std::nullopt;
    }
    for (const auto& [key, value] : animations->items()) {
        MoodAnimation parsed;
        if (!decoder.animation(value, parsed, "animations." + key))
            return std::nullopt;
        manifest.animations[key] = std::move(parsed);
    }
    if (const json* scale = Decoder::present(*document, "scale")) {
        double value = 0;
        if (!decoder.number(*scale, value, "scale"))
            return std::nullopt;
        manifest.scale = value;
    }
    return manifest;
}

} // namespace velquist
