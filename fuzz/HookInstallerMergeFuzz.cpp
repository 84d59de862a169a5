// Arbitrary bytes as an agent's configuration file, merged with our hook entries in both layouts:
// the merge must never crash or throw, must keep every byte of the user's own settings, and must
// be idempotent (a second merge changes nothing, which is what "installed" means).

#include "Ingestion/HookInstaller.h"
#include "Shared/HookCleanup.h"
#include "Shared/Json.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

using namespace velquist;
using nlohmann::ordered_json;

namespace {

void fail(const char* what)
{
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

// Everything outside "hooks" stays as the user wrote it.
void expectUserSettingsKept(const ordered_json& before, const ordered_json& after)
{
    for (const auto& [key, value] : before.items()) {
        if (key == "hooks" || key == "version")
            continue;
        if (!after.contains(key) || after.at(key) != value)
            fail("a setting of the user's was changed");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto parsed = Json::parseOrdered(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!parsed || !parsed->is_object())
        return 0;

    const std::string command = HookInstaller::expectedCommand("/home/user/.local/share/Velquist/bin/quorvel",
                                                               "claude", "PermissionRequest", std::nullopt);
    const std::vector<std::string> events{"SessionStart", "PreToolUse", "PermissionRequest", "Stop"};
    const std::set<std::string> decide{"PermissionRequest"};

    ordered_json claude = *parsed;
    HookInstaller::merge(claude, command, events, decide, size % 2 ? 1000 : 1);
    expectUserSettingsKept(*parsed, claude);
    if (HookInstaller::merge(claude, command, events, decide, size % 2 ? 1000 : 1))
        fail("a second merge changed the configuration");
    if (!Json::parseOrdered(Json::dump(claude, 2)))
        fail("the merged configuration does not read back");

    ordered_json cursor = *parsed;
    HookInstaller::mergeCursor(cursor, "/home/user/.local/share/Velquist/bin/quorvel");
    expectUserSettingsKept(*parsed, cursor);
    if (HookInstaller::mergeCursor(cursor, "/home/user/.local/share/Velquist/bin/quorvel"))
        fail("a second Cursor merge changed the configuration");
    if (!Json::parseOrdered(Json::dump(cursor, 2)))
        fail("the merged Cursor configuration does not read back");
    return 0;
}
