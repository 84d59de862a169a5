#include "Sound/SoundChoice.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace velquist {

SoundChoice SoundChoice::defaultFor(SoundEvent event)
{
    switch (event) {
    case SoundEvent::permission:
    case SoundEvent::question:
        return builtIn("ask");
    case SoundEvent::done:
        return builtIn("done");
    case SoundEvent::start:
        return off();
    }
    return off();
}

nlohmann::json SoundChoice::toJson() const
{
    if (const auto* builtIn = std::get_if<BuiltIn>(&value))
        return {{"builtIn", {{"_0", builtIn->name}}}};
    if (const auto* system = std::get_if<System>(&value))
        return {{"system", {{"_0", system->name}}}};
    return {{"off", nlohmann::json::object()}};
}

std::optional<SoundChoice> SoundChoice::fromJson(const nlohmann::json& json)
{
    if (!json.is_object() || json.size() != 1)
        return std::nullopt;
    // The iterator, not a binding to items(): that proxy's entries die with the statement.
    const auto entry = json.begin();
    const std::string& name = entry.key();
    const nlohmann::json& payload = entry.value();
    if (!payload.is_object())
        return std::nullopt;
    if (name == "off")
        return off();
    if (name != "builtIn" && name != "system")
        return std::nullopt;
    const auto found = payload.find("_0");
    if (payload.size() != 1 || found == payload.end() || !found->is_string())
        return std::nullopt;
    return name == "builtIn" ? builtIn(found->get<std::string>()) : system(found->get<std::string>());
}

namespace SoundCatalog {

const std::vector<std::string>& builtIn()
{
    static const std::vector<std::string> names{"ask", "done", "tap"};
    return names;
}

bool isBuiltInSound(std::string_view name)
{
    return name == "welcome" || std::ranges::find(builtIn(), name) != builtIn().end();
}

std::filesystem::path systemFolder()
{
    return "/usr/share/sounds/freedesktop/stereo";
}

std::vector<std::string> system(const std::filesystem::path& folder)
{
    static constexpr std::string_view extension = ".oga";
    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string file = it->path().filename().string();
        if (file.size() > extension.size() && file.ends_with(extension))
            names.push_back(file.substr(0, file.size() - extension.size()));
    }
    std::ranges::sort(names);
    return names;
}

std::vector<std::string> eventSounds(const std::vector<std::string>& names,
                                     const std::vector<std::string>& kept)
{
    // The freedesktop theme's alert-like sounds; other themes use the same names.
    static constexpr std::array<std::string_view, 14> alerts{"alarm-clock-elapsed", "bell",
                                                             "camera-shutter",      "complete",
                                                             "dialog-error",        "dialog-information",
                                                             "dialog-warning",      "message",
                                                             "message-new-instant", "phone-incoming-call",
                                                             "service-login",       "service-logout",
                                                             "window-attention",    "window-question"};
    std::vector<std::string> offered;
    for (const std::string& name : names) {
        if (std::ranges::find(alerts, name) != alerts.end() || std::ranges::find(kept, name) != kept.end())
            offered.push_back(name);
    }
    return offered;
}

bool contains(const SoundChoice& choice, const std::vector<std::string>& systemNames)
{
    if (const auto* builtIn = std::get_if<SoundChoice::BuiltIn>(&choice.value))
        return std::ranges::find(SoundCatalog::builtIn(), builtIn->name) != SoundCatalog::builtIn().end();
    if (const auto* system = std::get_if<SoundChoice::System>(&choice.value))
        return std::ranges::find(systemNames, system->name) != systemNames.end();
    return true;
}

} // namespace SoundCatalog

} // namespace velquist
