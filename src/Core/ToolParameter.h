#pragma once

#include "Core/StoredForm.h"

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace velquist {

// One row of a tool's input as shown for a tool without a structured form.
struct ToolParameter
{
    std::string key;   // the input key as shown (at most 20 characters and "…")
    std::string value; // the value as shown (at most 200 characters and "…")

    bool operator==(const ToolParameter&) const = default;

    // The input's keys in natural order (case ignored, digit runs by value), one row for each key
    // whose value has a non-empty text; more than eight rows become eight and "… N more".
    // `input` that is not an object gives no rows. Deep or huge values are cut, never walked whole.
    static std::vector<ToolParameter> flatten(const nlohmann::json& input);

    // Stored form {"key", "value"}.
    nlohmann::ordered_json toJson() const;
    static Decoded<ToolParameter> fromJson(const nlohmann::json& json);
};

} // namespace velquist
