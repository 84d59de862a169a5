#include "Core/ContextUsage.h"

#include <cmath>
#include <cstdio>

namespace velquist {

std::string ContextUsage::percentLabel() const
{
    double fraction = 0;
    if (limit >= 1)
        fraction = std::min(1.0, static_cast<double>(tokens) / static_cast<double>(limit));
    // std::round takes halves away from zero.
    return std::to_string(static_cast<std::int64_t>(std::round(fraction * 100))) + "%";
}

std::string ContextUsage::compact(std::int64_t tokens)
{
    if (tokens < 1000)
        return std::to_string(tokens);
    if (tokens < 1000000)
        return std::to_string(static_cast<std::int64_t>(std::round(static_cast<double>(tokens) / 1000))) +
               "k";
    const double millions = static_cast<double>(tokens) / 1000000;
    if (millions == std::trunc(millions))
        return std::to_string(static_cast<std::int64_t>(millions)) + "M";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.1fM", millions);
    return buffer;
}

nlohmann::ordered_json ContextUsage::toJson() const
{
    nlohmann::ordered_json json{{"tokens", tokens}, {"limit", limit}};
    StoredForm::putOptional(json, "model", model);
    return json;
}

Decoded<ContextUsage> ContextUsage::fromJson(const nlohmann::json& json)
{
    return StoredForm::decode<ContextUsage>([&] {
        const StoredForm::Reader reader(json, {});
        return ContextUsage{reader.integer("tokens"), reader.integer("limit"),
                            reader.optionalString("model")};
    });
}

} // namespace velquist
