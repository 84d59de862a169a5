#include "Ingestion/CodexTranscriptParser.h"
#include "Ingestion/CursorTranscriptParser.h"
#include "Ingestion/GeminiTranscriptParser.h"
#include "Ingestion/QwenTranscriptParser.h"
#include "Ingestion/ToolActivity.h"
#include "Ingestion/TranscriptParser.h"
#include "TranscriptItemPrinting.h"

#include <gtest/gtest.h>

using namespace velquist;
using Items = std::vector<TranscriptItem>;
using Item = TranscriptItem;

namespace {

struct Case
{
    const char* name;
    std::string line;
    Items expected;
};

void runCases(Items (*parse)(std::string_view), const std::vector<Case>& cases)
{
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(parse(c.line), c.expected);
    }
}

std::string emptyInputActivity(const char* tool)
{
    return ToolActivity::describe(tool, nlohmann::json::object());
}

} // namespace

TEST(TranscriptParsersTest, UnreadableLinesGiveNothingForEveryAgent)
{
    const std::pair<const char*, Items (*)(std::string_view)> parsers[] = {
        {"claude", TranscriptParser::parse},       {"codex", CodexTranscriptParser::parse},
        {"cursor", CursorTranscriptParser::parse}, {"gemini", GeminiTranscriptParser::parse},
        {"qwen", QwenTranscriptParser::parse},
    };
    const std::string deep = std::string(300, '[') + std::string(300, ']');
    for (const auto& [name, parse] : parsers) {
        SCOPED_TRACE(name);
        for (const std::string line :
             {"", "   \t", "[{\"type\":\"tool_result\"}]", "{\"type\": \"user\",", "\"text\"", "42", "null"})
            EXPECT_TRUE(parse(line).empty()) << line;
        // Nesting beyond the limit is refused before anything walks it.
        EXPECT_TRUE(parse("{\"type\":\"tool_result\",\"role\":\"user\",\"x\":" + deep + "}").empty());
    }
}

TEST(TranscriptParsersTest, ClaudeLines)
{
    const std::string head =
        R"("parentUuid":"0c1d","isSidechain":false,"userType":"external","cwd":"/home/dev/app",)"
        R"("sessionId":"5b1d2c3e","version":"2.0.14","gitBranch":"main",)";
    runCases(
        TranscriptParser::parse,
        {
            {"assistant text, tool use, blank text and usage",
             "{" + head +
                 R"("message":{"id":"msg_01","type":"message","role":"assistant",)"
                 R"("model":"claude-sonnet-4-5-20250929","content":[)"
                 R"({"type":"text","text":"Running the tests."},)"
                 R"({"type":"tool_use","id":"toolu_01","name":"Bash","input":{"command":"make test","description":"Run tests"}},)"
                 R"({"type":"text","text":" \n\t "}],"stop_reason":"tool_use",)"
                 R"("usage":{"input_tokens":10,"cache_creation_input_tokens":5,"cache_read_input_tokens":200,"output_tokens":42}},)"
                 R"("type":"assistant","uuid":"2b3c","timestamp":"2025-10-01T12:00:01.000Z"})",
             {Item::assistantText("Running the tests."),
              Item::assistantToolUse("Bash", "Run tests", "toolu_01"),
              Item::usage(215, "claude-sonnet-4-5-20250929")}},
            {"text kept untrimmed",
             R"({"type":"assistant","message":{"role":"assistant","content":[{"type":"text","text":"  Done.\n"}]}})",
             {Item::assistantText("  Done.\n")}},
            {"usage of zero or missing counts gives no usage item",
             R"({"type":"assistant","message":{"model":"m","content":[],"usage":{"input_tokens":0,"output_tokens":90}}})",
             {}},
            {"only the three input counts are summed; a wrong-typed one counts 0",
             R"({"type":"assistant","message":{"content":[],"usage":{"input_tokens":"7","cache_read_input_tokens":3,"output_tokens":500}}})",
             {Item::usage(3)}},
            {"content that is a string gives nothing, usage included",
             R"({"type":"assistant","message":{"content":"hi","usage":{"input_tokens":10}}})",
             {}},
            {"content with a non-object element gives nothing",
             R"({"type":"assistant","message":{"content":[{"type":"text","text":"a"},"b"]}})",
             {}},
            {"tool use without input or with a non-object input, and one without a name",
             R"({"type":"assistant","message":{"content":[{"type":"tool_use","name":"Edit"},)"
             R"({"type":"tool_use","input":{"command":"ls"}},{"type":"tool_use","name":"Edit","input":[1]},)"
             R"({"text":"no type"},{"type":"thinking","thinking":"hmm"}]}})",
             {Item::assistantToolUse("Edit", emptyInputActivity("Edit")),
              Item::assistantToolUse("Edit", emptyInputActivity("Edit"))}},
            {"user line with two tool results gives one, with both ids",
             "{" + head +
                 R"("type":"user","message":{"role":"user","content":[)"
                 R"({"tool_use_id":"toolu_01","type":"tool_result","content":"ok","is_error":false},)"
                 R"({"tool_use_id":"toolu_02","type":"tool_result","content":[{"type":"text","text":"x"}]}]},)"
                 R"("toolUseResult":{"stdout":"ok","stderr":"","interrupted":false},"uuid":"3c4d"})",
             {Item::toolResult({"toolu_01", "toolu_02"})}},
            {"typed prompt", R"({"type":"user","message":{"role":"user","content":"fix the build"}})", {}},
            {"user content without a tool result",
             R"({"type":"user","message":{"role":"user","content":[{"type":"text","text":"go on"}]}})",
             {}},
            {"side chain",
             R"({"isSidechain":true,"type":"user","message":{"content":[{"type":"tool_result"}]}})",
             {}},
            {"side chain false is parsed",
             R"({"isSidechain":false,"type":"user","message":{"content":[{"type":"tool_result"}]}})",
             {Item::toolResult()}},
            {"side chain of another type is parsed",
             R"({"isSidechain":"true","type":"user","message":{"content":[{"type":"tool_result"}]}})",
             {Item::toolResult()}},
            {"title keeps its blanks",
             R"({"type":"ai-title","aiTitle":"  Fix flaky build  ","sessionId":"5b1d"})",
             {Item::title("  Fix flaky build  ")}},
            {"blank title", R"({"type":"ai-title","aiTitle":" \u00a0\n"})", {}},
            {"title line never gives more",
             R"({"type":"ai-title","message":{"content":[{"type":"text","text":"x"}],"usage":{"input_tokens":5}}})",
             {}},
            {"other types", R"({"type":"summary","summary":"Build fixed","leafUuid":"2b3c"})", {}},
            {"snapshot line", R"({"type":"file-history-snapshot","messageId":"m","snapshot":{}})", {}},
            {"no type", R"({"message":{"content":[{"type":"tool_result"}]}})", {}},
            {"message not an object", R"({"type":"assistant","message":"text"})", {}},
        });
}

TEST(TranscriptParsersTest, CodexRolloutLines)
{
    runCases(
        CodexTranscriptParser::parse,
        {
            {"token count with window",
             R"({"timestamp":"2025-10-01T12:00:00.000Z","type":"event_msg","payload":{"type":"token_count","info":)"
             R"({"total_token_usage":{"input_tokens":4200,"cached_input_tokens":300,"output_tokens":500,"total_tokens":5000},)"
             R"("last_token_usage":{"total_tokens":900},"model_context_window":272000},"rate_limits":null}})",
             {Item::usage(5000), Item::contextWindow(272000)}},
            {"token count without info",
             R"({"type":"event_msg","payload":{"type":"token_count","info":null}})",
             {}},
            {"token count of zero is taken",
             R"({"payload":{"type":"token_count","info":{"total_token_usage":{"total_tokens":0}}}})",
             {Item::usage(0)}},
            {"task started",
             R"({"type":"event_msg","payload":{"type":"task_started","model_context_window":0}})",
             {Item::contextWindow(0)}},
            {"task complete",
             R"({"type":"event_msg","payload":{"type":"task_complete","last_agent_message":"All tests pass."}})",
             {Item::assistantText("All tests pass.")}},
            {"task complete without message",
             R"({"payload":{"type":"task_complete","last_agent_message":null}})",
             {}},
            {"agent message at the top level",
             R"({"type":"agent_message","message":"Looking at the tests."})",
             {Item::assistantText("Looking at the tests.")}},
            {"blank agent message",
             R"({"type":"event_msg","payload":{"type":"agent_message","message":"  \n"}})",
             {}},
            {"function call",
             R"({"type":"response_item","payload":{"type":"function_call","name":"exec_command",)"
             R"("arguments":"{\"cmd\":\"ls\",\"workdir\":\"/home/dev/app\"}","call_id":"call_1"}})",
             {Item::assistantToolUse("exec_command", "$ ls")}},
            {"function call with broken arguments",
             R"({"payload":{"type":"function_call","name":"exec_command","arguments":"{\"cmd\":"}})",
             {Item::assistantToolUse("exec_command", emptyInputActivity("exec_command"))}},
            {"function call whose arguments are a list",
             R"({"payload":{"type":"function_call","name":"exec_command","arguments":"[\"ls\"]"}})",
             {Item::assistantToolUse("exec_command", emptyInputActivity("exec_command"))}},
            {"function call without a name", R"({"payload":{"type":"function_call","arguments":"{}"}})", {}},
            {"function output",
             R"({"type":"response_item","payload":{"type":"function_call_output","call_id":"call_1"}})",
             {}},
            {"session meta", R"({"type":"session_meta","payload":{"id":"0199","cwd":"/home/dev/app"}})", {}},
            {"payload that is not an object falls back to the line",
             R"({"type":"agent_message","message":"hi","payload":"x"})",
             {Item::assistantText("hi")}},
        });
}

TEST(TranscriptParsersTest, CursorLines)
{
    runCases(
        CursorTranscriptParser::parse,
        {
            {"text, tool use without input, blank text",
             R"({"role":"assistant","message":{"content":[{"type":"text","text":"Let me check."},)"
             R"({"type":"tool_use","id":"t1","name":"Shell"},{"type":"text","text":"   "}]}})",
             {Item::assistantText("Let me check."),
              Item::assistantToolUse("Shell", emptyInputActivity("Shell"))}},
            {"tool use with input",
             R"({"role":"assistant","message":{"content":[{"type":"tool_use","name":"Read","input":{"file_path":"/src/main.c"}}]}})",
             {Item::assistantToolUse("Read", "Read main.c")}},
            {"string content", R"({"role":"assistant","message":{"content":"Let me check."}})", {}},
            {"empty content", R"({"role":"assistant","message":{"content":[]}})", {}},
            {"two tool results give one",
             R"({"role":"user","message":{"content":[{"type":"tool_result","tool_use_id":"t1","content":"a"},)"
             R"({"type":"tool_result","tool_use_id":"t2","content":"b"}]}})",
             {Item::toolResult()}},
            {"user text", R"({"role":"user","message":{"content":[{"type":"text","text":"go"}]}})", {}},
            {"system role", R"({"role":"system","message":{"content":[{"type":"text","text":"x"}]}})", {}},
            {"no role", R"({"message":{"content":[{"type":"text","text":"x"}]}})", {}},
        });
}

TEST(TranscriptParsersTest, GeminiRecords)
{
    runCases(
        GeminiTranscriptParser::parse,
        {
            {"reply with text, tool calls and tokens",
             R"({"id":"r1","timestamp":"2025-10-01T12:00:00.000Z","type":"gemini","content":"I'll run the tests.",)"
             R"("toolCalls":[{"id":"c1","name":"run_shell_command","args":{"command":"make"},"status":"success"},)"
             R"({"id":"c2","args":{}},{"id":"c3","name":"read_file"}],)"
             R"("thoughts":[],"tokens":{"input":12000,"output":80,"cached":0,"thoughts":0,"tool":0,"total":12080},)"
             R"("model":"gemini-2.5-pro"})",
             {Item::assistantText("I'll run the tests."),
              Item::assistantToolUse("run_shell_command", "$ make"),
              Item::assistantToolUse("read_file", emptyInputActivity("read_file")),
              Item::usage(12000, "gemini-2.5-pro")}},
            {"string content is trimmed",
             R"({"type":"gemini","content":"  Done.  "})",
             {Item::assistantText("Done.")}},
            {"unicode blanks are trimmed too",
             "{\"type\":\"gemini\",\"content\":\"\\u00a0Done.\\u3000\"}",
             {Item::assistantText("Done.")}},
            {"part texts keep their blanks",
             R"({"type":"gemini","content":[{"text":"  Done.  "},{"text":" "},{"inlineData":{}}]})",
             {Item::assistantText("  Done.  ")}},
            {"parts with a non-object give no texts",
             R"({"type":"gemini","content":[{"text":"a"},"b"]})",
             {}},
            {"input count of zero is taken and gives nothing",
             R"({"type":"gemini","tokens":{"input":0,"total":900}})",
             {}},
            {"total when no input count", R"({"type":"gemini","tokens":{"total":900}})", {Item::usage(900)}},
            {"tool calls of another form are skipped",
             R"({"type":"gemini","content":"ok","toolCalls":{"name":"x"},"tokens":{"input":5},"model":7})",
             {Item::assistantText("ok"), Item::usage(5)}},
            {"function response",
             R"({"type":"user","content":[{"functionResponse":{"id":"c1","name":"run_shell_command","response":{"output":"ok"}}}]})",
             {Item::toolResult()}},
            {"function response of any value",
             R"({"type":"user","content":[{"text":"x"},{"functionResponse":null}]})",
             {Item::toolResult()}},
            {"user prompt", R"({"type":"user","content":"fix the build"})", {}},
            {"other type", R"({"type":"info","content":"Switched model"})", {}},
        });
}

TEST(TranscriptParsersTest, QwenRecords)
{
    runCases(
        QwenTranscriptParser::parse,
        {
            {"tool result whatever it holds",
             R"({"uuid":"u2","type":"tool_result","toolCallResult":{"callId":"c1","status":"success"},"message":7})",
             {Item::toolResult()}},
            {"assistant parts, usage and window in order",
             R"({"uuid":"u1","sessionId":"s1","timestamp":"2025-10-01T12:00:00.000Z","type":"assistant",)"
             R"("message":{"role":"model","parts":[{"text":"Building now."},)"
             R"({"text":" ","functionCall":{"id":"c1","name":"run_shell_command","args":{"command":"make"}}},{"thought":true}]},)"
             R"("usageMetadata":{"promptTokenCount":1200,"candidatesTokenCount":40,"totalTokenCount":1240},)"
             R"("model":"qwen3-coder-plus","contextWindowSize":131072})",
             {Item::assistantText("Building now."), Item::assistantToolUse("run_shell_command", "$ make"),
              Item::usage(1200, "qwen3-coder-plus"), Item::contextWindow(131072)}},
            {"usage alone from the total count",
             R"({"type":"assistant","usageMetadata":{"totalTokenCount":300}})",
             {Item::usage(300)}},
            {"malformed parts still give usage",
             R"({"type":"assistant","message":{"parts":"x"},"usageMetadata":{"promptTokenCount":5},"contextWindowSize":0})",
             {Item::usage(5)}},
            {"function call without a name or args",
             R"({"type":"assistant","message":{"parts":[{"functionCall":{"args":{}}},{"functionCall":{"name":"read_file"}}]}})",
             {Item::assistantToolUse("read_file", emptyInputActivity("read_file"))}},
            {"a fractional count is no integer",
             R"({"type":"assistant","usageMetadata":{"promptTokenCount":1.5}})",
             {}},
            {"an integral float is",
             R"({"type":"assistant","usageMetadata":{"promptTokenCount":300.0}})",
             {Item::usage(300)}},
            {"user record", R"({"type":"user","message":{"parts":[{"text":"fix it"}]}})", {}},
        });
}
