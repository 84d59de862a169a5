#pragma once

#include <string_view>

namespace velquist {

// Whose account the usage is read from.
enum class UsageProvider { claude, codex };

// The name shown in the panel: "Claude", "Codex".
constexpr std::string_view displayName(UsageProvider provider)
{
    return provider == UsageProvider::codex ? "Codex" : "Claude";
}

} // namespace velquist
