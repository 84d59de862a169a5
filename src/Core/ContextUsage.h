#pragma once

#include "Core/StoredForm.h"

#include <cstdint>
#include <optional>
#include <string>

namespace velquist {

// How full a session's context window is.
struct ContextUsage
{
    std::int64_t tokens = 0;          // tokens in use
    std::int64_t limit = 0;           // the window's size in tokens
    std::optional<std::string> model; // the model as the agent names it

    bool operator==(const ContextUsage&) const = default;

    // The share of the window used, a whole number and "%" ("75%"); over-full reads "100%", a
    // window of less than one token "0%".
    std::string percentLabel() const;
    // A token count in short form: "999", "2k", "1.5M", "2M".
    static std::string compact(std::int64_t tokens);

    // Stored form {"tokens", "limit", "model"?}; unknown keys are ignored.
    nlohmann::ordered_json toJson() const;
    static Decoded<ContextUsage> fromJson(const nlohmann::json& json);
};

} // namespace velquist
