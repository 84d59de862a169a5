#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace velquist {

struct Session;

// The user's way to focus one terminal application: a URL, filled from the session, that the
// desktop opens. Placeholders: "{tty}", "{pid}", "{cwd}", "{session}".
struct JumpRule
{
    // Upper-case hyphenated UUID.
    std::string id;
    // The application's identifier, matched ignoring case.
    std::string bundleID;
    std::string urlTemplate;
    bool isEnabled = true;

    bool operator==(const JumpRule&) const = default;

    // A rule with a fresh id.
    static JumpRule make(std::string bundleID, std::string urlTemplate, bool isEnabled = true);

    // The filled URL; none when a placeholder it names has no value for the session, or when the
    // template does not begin with a literal scheme (so session data can never choose one).
    std::optional<std::string> url(const Session& session) const;

    // The template's literal scheme ("myterm" of "myterm://..."); none when it has none.
    static std::optional<std::string> scheme(std::string_view url);
    // `value` percent-encoded for any part of a URL path, with "?", "&", "=" and "#" encoded too.
    static std::string encode(std::string_view value);

    nlohmann::ordered_json toJson() const;
    // None unless all four keys are there with their types and the id is a UUID.
    static std::optional<JumpRule> fromJson(const nlohmann::json& json);
};

} // namespace velquist
