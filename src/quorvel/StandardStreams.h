#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <string_view>

namespace velquist {

// Standard input as the hook client read it. A plain buffer: it is filled by read(2) alone, so
// zeroing it first, as a string would, is wasted work on the hot path.
struct HookInput
{
    std::unique_ptr<char, decltype(&std::free)> data{nullptr, &std::free};
    std::size_t size = 0;
    // False when the input ran past what was kept: only its beginning is held.
    bool complete = true;

    std::string_view bytes() const { return {data.get(), size}; }
};

namespace StandardStreams {

// Reads standard input to its end, keeping at most `keepAtMost` bytes. The rest is still read
// and dropped: an agent whose write to our input fails may treat that as a failed hook.
HookInput readInput(std::size_t keepAtMost);

// Writes `bytes` to standard output as they are; errors (the agent stopped reading) are ignored.
void writeOutput(std::string_view bytes);

} // namespace StandardStreams
} // namespace velquist
