// Arbitrary bytes as one transcript line of the parser chosen at build time
// (VELQUIST_FUZZ_PARSER): the parse must never crash, throw or read out of bounds, and folding its
// items into a snapshot must hold up too.

#include "Ingestion/CodexTranscriptParser.h"
#include "Ingestion/CursorTranscriptParser.h"
#include "Ingestion/GeminiTranscriptParser.h"
#include "Ingestion/QwenTranscriptParser.h"
#include "Ingestion/TranscriptParser.h"
#include "Ingestion/TranscriptSnapshot.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace velquist;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const auto items = VELQUIST_FUZZ_PARSER(line);
    TranscriptSnapshot snapshot;
    for (const auto& item : items)
        snapshot.apply(item);
    // A parser is pure: the same line gives the same items.
    if (VELQUIST_FUZZ_PARSER(line) != items)
        std::abort();
    return 0;
}
