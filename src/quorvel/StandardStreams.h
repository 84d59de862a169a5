#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velquist {

// Standard input as the hook client read it.
struct HookInput {
    std::string bytes;
    // False when the input ran past what was kept: `bytes` then holds only its beginning.
    bool complete = true;
};

namespace StandardStreams {

// Reads standard input to its end, keeping at most `keepAtMost` bytes. The rest is still read
// and dropped: an agent whose write to our input fails may treat that as a failed hook.
HookInput readInput(std::size_t keepAtMost);

// Writes `bytes` to standard output as they are; errors (the agent stopped reading) are ignored.
void writeOutput(std::string_view bytes);

} // namespace StandardStreams
} // namespace velquist
