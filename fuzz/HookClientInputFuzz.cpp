// Arbitrary bytes as the hook client's standard input: the scan and the relayed payload must never
// crash or read out of bounds, and what the client would send must always be a request the
// application can parse, whatever the agent wrote. The byte scanner is checked against the strict
// parser on the way.

#include "Ingestion/HookEvent.h"
#include "Shared/Json.h"
#include "Shared/JsonScan.h"
#include "quorvel/HookRequest.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace velquist;

namespace {

void fail(const char* what)
{
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

// The request as the client sends it: the envelope around the relayed payload.
std::string request(std::string_view payload, std::string_view engine)
{
    HookRequest::Context context;
    context.engine = std::string(engine);
    context.decisionId = "1234-1700000000000";
    context.pid = 1234;
    context.parent = 1233;
    context.receivedAt = 1700000000.5;
    context.ancestors = {1233, 1};
    context.terminal = TerminalOwner{"pts/3", 1233};
    context.terminalEnv = {{"TERM_PROGRAM", std::string(engine)}};
    const HookRequest::Envelope envelope = HookRequest::envelope(context);
    return envelope.head + std::string(payload) + envelope.tail;
}

void check(std::string_view input, std::size_t maxBytes)
{
    HookPayload payload;
    HookRequest::readPayload(input, maxBytes, payload);
    const auto relayed = Json::parse(payload.json);
    if (!relayed || !relayed->is_object())
        fail("the relayed payload is not a JSON object");
    if (payload.whole && payload.json.size() > maxBytes)
        fail("a payload over the cap was relayed whole");
    if (!payload.whole && payload.json.size() > std::max<std::size_t>(maxBytes, 2))
        fail("the cut-down payload is over the cap");

    // Arbitrary bytes in the engine name exercise the client's own string quoting.
    const std::string_view engine = input.substr(0, std::min<std::size_t>(input.size(), 24));
    const std::string bytes = request(payload.json, engine);
    const auto parsed = Json::parse(bytes);
    if (!parsed || !parsed->is_object() || !parsed->contains("payload") || !parsed->contains("meta"))
        fail("the request is not a JSON object with payload and meta");
    // The application reads the same request: an event name it knows gives an event.
    const auto event = HookEvent::parse(bytes);
    if (event && !HookEvent::canonical(event->engine, payload.eventName))
        fail("the application took an event the client did not name");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);

    // The scanner agrees with the strict parser: a clean object parses, and an object the parser
    // takes within the nesting limit is found by the scan.
    const auto scan = JsonScan::scanObject(input);
    const auto strict = Json::parse(input);
    if (scan && scan->clean && !Json::parse(scan->object))
        fail("the scan called clean an object the parser refuses");
    // (The parser takes a NUL byte for the end of its input and so accepts what follows one; the
    // scan rightly does not.)
    if (strict && strict->is_object() && !scan && input.find('\0') == std::string_view::npos)
        fail("the scan refused an object the parser takes");

    check(input, 524288);
    // A small cap drives the cut-down path.
    check(input, size / 2);
    return 0;
}
