// Arbitrary bytes as a hook request: parsing must never crash, throw or read out of bounds, and an
// event it accepts must be self-consistent.

#include "Ingestion/HookEvent.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace velquist;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto event = HookEvent::parse(bytes);
    if (!event)
        return 0;
    // Tool fields only ever come with the tool's name.
    if ((event->tool || event->activity) && !event->toolName)
        std::abort();
    // The same bytes give the same event: nothing hangs on state left by an earlier call.
    if (HookEvent::parse(bytes) != event)
        std::abort();
    return 0;
}
