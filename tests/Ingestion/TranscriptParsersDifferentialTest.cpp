#include "Ingestion/CodexTranscriptParser.h"
#include "Ingestion/CursorTranscriptParser.h"
#include "Ingestion/GeminiTranscriptParser.h"
#include "Ingestion/QwenTranscriptParser.h"
#include "Ingestion/TranscriptParser.h"
#include "ReferenceTranscriptParsers.h"
#include "TranscriptItemPrinting.h"

#include <gtest/gtest.h>
#include <random>

using namespace velquist;

namespace {

// Well-formed lines of every agent's transcript, each exercising the fields a parser reads.
const char* const kSeeds[] = {
    R"({"parentUuid":"0c1d","isSidechain":false,"type":"assistant","message":{"id":"msg_01","role":"assistant","model":"claude-sonnet-4-5","content":[{"type":"text","text":"Running the tests."},{"type":"tool_use","id":"toolu_01","name":"Bash","input":{"command":"make test","description":"Run tests"}},{"type":"text","text":" \n\t "}],"usage":{"input_tokens":10,"cache_creation_input_tokens":5,"cache_read_input_tokens":200,"output_tokens":42}},"uuid":"2b3c"})",
    R"({"type":"user","message":{"role":"user","content":[{"tool_use_id":"toolu_01","type":"tool_result","content":"ok \"quoted\"\n\u00e9\ud83d\ude00"},{"tool_use_id":"toolu_02","type":"tool_result","content":[{"type":"text","text":"x"}]}]},"toolUseResult":{"stdout":"ok"}})",
    R"({"type":"assistant","message":{"content":[{"type":"tool_use","id":"t9","name":"Read","input":{"file_path":"/src/a.c","offset":3}},{"type":"tool_use","name":"Grep","input":{"pattern":"a\\b"}}],"usage":{"input_tokens":9223372036854775807,"cache_read_input_tokens":1}}})",
    R"({"type":"ai-title","aiTitle":"  Fix flaky build  ","sessionId":"5b1d"})",
    R"({"isSidechain":true,"type":"user","message":{"content":[{"type":"tool_result"}]}})",
    R"({"timestamp":"2025","type":"event_msg","payload":{"type":"token_count","info":{"total_token_usage":{"total_tokens":5000},"model_context_window":272000}}})",
    R"({"type":"event_msg","payload":{"type":"task_started","model_context_window":258400}})",
    R"({"type":"event_msg","payload":{"type":"task_complete","last_agent_message":"All tests pass."}})",
    R"({"type":"agent_message","message":"Looking at the tests."})",
    R"({"type":"response_item","payload":{"type":"function_call","name":"exec_command","arguments":"{\"cmd\":\"ls\",\"workdir\":\"/home/dev/app\"}","call_id":"call_1"}})",
    R"({"payload":{"type":"function_call","name":"shell","arguments":"{\"command\":[\"bash\",\"-lc\",\"ls\"]}"}})",
    R"({"role":"assistant","message":{"content":[{"type":"text","text":"Let me check."},{"type":"tool_use","id":"t1","name":"Shell","input":{"command":"ls"}}]}})",
    R"({"role":"user","message":{"content":[{"type":"tool_result","tool_use_id":"t1","content":"a"}]}})",
    R"({"id":"g1","type":"gemini","content":"  Reading the file.  ","toolCalls":[{"id":"c1","name":"read_file","args":{"absolute_path":"/src/a.c"}}],"tokens":{"input":1200,"output":40,"total":1240},"model":"gemini-2.5-pro"})",
    R"({"type":"gemini","content":[{"text":"one"},{"text":" "},{"text":"two"}],"tokens":{"total":77}})",
    R"({"type":"user","content":[{"functionResponse":{"id":"c1","name":"read_file","response":{"output":"x"}}}]})",
    R"({"type":"assistant","message":{"role":"model","parts":[{"text":"Checking."},{"functionCall":{"name":"run_shell_command","args":{"command":"ls"}}}]},"usageMetadata":{"promptTokenCount":900,"totalTokenCount":950},"model":"qwen3-coder","contextWindowSize":131072})",
    R"({"type":"tool_result","toolCallResult":{"callId":"x"}})",
};

// Values that sit at the edges of what the readers accept.
const char* const kOddValues[] = {
    "123456789012345678901234567890",
    "-9223372036854775809",
    "9223372036854775808",
    "18446744073709551615",
    "1e400",
    "-0",
    "2.0",
    "2.5",
    "0",
    "-7",
    "true",
    "null",
    "\"7\"",
    "\" \\u00a0\\u2028 \"",
    "[]",
    "{}",
    "[{}]",
    "[{\"text\":\"x\"},1]",
    "\"\\ud800\"",
    "\"a\\u0000b\"",
};

std::string nested(int depth)
{
    return std::string(static_cast<std::size_t>(depth), '[') +
           std::string(static_cast<std::size_t>(depth), ']');
}

// The seeds, then many damaged or twisted copies of them: cut short, bytes overwritten (invalid
// UTF-8 among them), keys repeated with another value, values swapped for odd ones, pieces of other
// lines spliced in, and nesting at and past the limit.
std::vector<std::string> corpus()
{
    std::mt19937 random(20240611);
    const auto pick = [&](std::size_t count) { return static_cast<std::size_t>(random() % count); };
    std::vector<std::string> lines(std::begin(kSeeds), std::end(kSeeds));
    for (const int depth : {254, 255, 256, 257, 400})
        for (const char* seed : kSeeds)
            lines.push_back(std::string(seed).insert(1, "\"deep\":" + nested(depth) + ","));
    for (int round = 0; round < 4000; ++round) {
        std::string line = kSeeds[pick(std::size(kSeeds))];
        switch (round % 6) {
        case 0:
            line.resize(pick(line.size()));
            break;
        case 1:
            for (int i = 0, n = 1 + static_cast<int>(pick(3)); i < n; ++i)
                line[pick(line.size())] = static_cast<char>(random() % 256);
            break;
        case 2: {
            // The same key again, earlier in its object, so only the last one may count.
            const auto at = line.find("\"type\":");
            if (at != std::string::npos)
                line.insert(at, "\"type\":\"other\",\"model\":\"earlier\",\"content\":[],");
            break;
        }
        case 3: {
            // An odd value where a value stood.
            const auto colon = line.find(':', pick(line.size()));
            if (colon == std::string::npos)
                break;
            auto end = colon + 1;
            int depth = 0;
            bool inString = false;
            for (; end < line.size(); ++end) {
                const char c = line[end];
                if (inString) {
                    if (c == '\\')
                        ++end;
                    else if (c == '"')
                        inString = false;
                } else if (c == '"') {
                    inString = true;
                } else if (c == '{' || c == '[') {
                    ++depth;
                } else if (c == '}' || c == ']') {
                    if (depth-- == 0)
                        break;
                } else if (c == ',' && depth == 0) {
                    break;
                }
            }
            line.replace(colon + 1, end - colon - 1, kOddValues[pick(std::size(kOddValues))]);
            break;
        }
        case 4: {
            const std::string other = kSeeds[pick(std::size(kSeeds))];
            const auto from = pick(other.size());
            line.insert(pick(line.size()), other.substr(from, pick(other.size() - from + 1)));
            break;
        }
        case 5: {
            // Invalid UTF-8 inside a string: a lone continuation byte, a cut sequence, an overlong
            // form, a surrogate.
            static const char* const bad[] = {"\x80", "\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80"};
            const auto quote = line.find('"', pick(line.size()));
            if (quote != std::string::npos)
                line.insert(quote + 1, bad[pick(std::size(bad))]);
            break;
        }
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

} // namespace

TEST(TranscriptParsersDifferentialTest, EveryParserMatchesItsTreeReferenceOnEveryLine)
{
    using Parse = std::vector<TranscriptItem> (*)(std::string_view);
    const struct
    {
        const char* name;
        Parse parse;
        Parse reference;
    } parsers[] = {
        {"claude", TranscriptParser::parse, ReferenceTranscriptParsers::claude},
        {"codex", CodexTranscriptParser::parse, ReferenceTranscriptParsers::codex},
        {"cursor", CursorTranscriptParser::parse, ReferenceTranscriptParsers::cursor},
        {"gemini", GeminiTranscriptParser::parse, ReferenceTranscriptParsers::gemini},
        {"qwen", QwenTranscriptParser::parse, ReferenceTranscriptParsers::qwen},
    };
    const auto lines = corpus();
    std::size_t withItems = 0;
    for (const auto& parser : parsers) {
        for (const auto& line : lines) {
            const auto expected = parser.reference(line);
            withItems += expected.empty() ? 0 : 1;
            ASSERT_EQ(parser.parse(line), expected) << parser.name << ": " << line;
        }
    }
    // The corpus must reach the parsers' readings, not only their refusals.
    EXPECT_GT(withItems, lines.size() / 4);
}
