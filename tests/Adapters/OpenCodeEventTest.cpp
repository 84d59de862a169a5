#include "Adapters/OpenCodeEvent.h"

#include <cctype>
#include <cstdint>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>

using namespace velquist;
using Update = OpenCodeUpdate;

namespace velquist {
inline void PrintTo(const OpenCodeUpdate& update, std::ostream* out)
{
    *out << "update of " << update.sessionID() << " (case " << update.value.index() << ")";
}
} // namespace velquist

namespace {

struct EventCase
{
    const char* name;
    std::string line; // the payload of one "data:" line, as a server sent it
    std::optional<OpenCodeUpdate> expected;
};

AgentInquiry pickColour()
{
    return AgentInquiry{{AgentQuestion{"Which colour?",
                                       {QuestionOption{"Red", "warm"}, QuestionOption{"Blue", std::nullopt}},
                                       "Colour",
                                       true}}};
}

// Lines recorded from both of a server's streams ("/event" wraps its payload in "properties",
// "/api/event" in "data"), trimmed of fields the parser does not read.
const EventCase kCases[] = {
    {"original session created",
     R"({"id":"evt_1","type":"session.created","properties":{"sessionID":"ses_A","info":{"id":"ses_A","slug":"curious-pixel","directory":"/tmp/proj","title":"New session - 2026"}}})",
     Update{Update::Upsert{"ses_A", "/tmp/proj", "New session - 2026"}}},
    {"v2 session updated, directory from location",
     R"({"type":"session.updated","data":{"sessionID":"ses_A","info":{"id":"ses_A","location":{"directory":"/w"}}}})",
     Update{Update::Upsert{"ses_A", "/w", std::nullopt}}},
    {"session info without directory",
     R"({"type":"session.updated","data":{"info":{"id":"ses_A","title":"T"}}})",
     Update{Update::Upsert{"ses_A", std::nullopt, "T"}}},
    {"session info without id", R"({"type":"session.updated","data":{"info":{"title":"T"}}})", std::nullopt},
    {"original idle", R"({"id":"evt_2","type":"session.idle","properties":{"sessionID":"ses_A"}})",
     Update{Update::Idle{"ses_A"}}},
    {"original status idle",
     R"({"type":"session.status","properties":{"sessionID":"ses_A","status":{"type":"idle"}}})",
     Update{Update::Idle{"ses_A"}}},
    {"original status busy",
     R"({"type":"session.status","properties":{"sessionID":"ses_A","status":{"type":"busy"}}})",
     Update{Update::Busy{"ses_A"}}},
    {"status retry is not a change",
     R"({"type":"session.status","properties":{"sessionID":"ses_A","status":{"type":"retry","attempt":1,"message":"x","next":5}}})",
     std::nullopt},
    {"deleted", R"({"type":"session.deleted","data":{"sessionID":"ses_A","info":{"id":"ses_A"}}})",
     Update{Update::Removed{"ses_A"}}},
    {"tool part without state is described with an empty input",
     R"({"type":"message.part.updated","properties":{"sessionID":"ses_A","part":{"type":"tool","tool":"mystery","callID":"call_1"}}})",
     Update{Update::ToolActivity{"ses_A", "mystery", ToolDetail::parse("mystery", nlohmann::json::object()),
                                 "call_1"}}},
    {"text part trimmed",
     R"({"type":"message.part.updated","data":{"sessionID":"ses_A","part":{"type":"text","text":"  All done.\n"}}})",
     Update{Update::AssistantText{"ses_A", "All done."}}},
    {"blank text part",
     R"({"type":"message.part.updated","data":{"sessionID":"ses_A","part":{"type":"text","text":" \n "}}})",
     std::nullopt},
    {"reasoning part",
     R"({"type":"message.part.updated","data":{"sessionID":"ses_A","part":{"type":"reasoning","text":"hm"}}})",
     std::nullopt},
    {"assistant tokens with cache object and provider",
     R"({"type":"message.updated","properties":{"sessionID":"ses_A","info":{"role":"assistant","providerID":"P","modelID":"M","tokens":{"input":1200,"output":9,"cache":{"read":300,"write":50}}}}})",
     Update{Update::Context{"ses_A", 1550, "P/M"}}},
    {"plain cache count, provider alone, fraction truncated",
     R"({"type":"message.updated","data":{"sessionID":"ses_A","info":{"role":"assistant","providerID":"P","tokens":{"input":10.9,"cache":5}}}})",
     Update{Update::Context{"ses_A", 15, "P/"}}},
    {"model alone",
     R"({"type":"message.updated","data":{"sessionID":"ses_A","info":{"role":"assistant","modelID":"M","tokens":{"input":3}}}})",
     Update{Update::Context{"ses_A", 3, "M"}}},
    {"user message",
     R"({"type":"message.updated","data":{"sessionID":"ses_A","info":{"role":"user","tokens":{"input":3}}}})",
     std::nullopt},
    {"zero tokens",
     R"({"type":"message.updated","data":{"sessionID":"ses_A","info":{"role":"assistant","tokens":{"input":0}}}})",
     std::nullopt},
    {"huge counts saturate",
     R"({"type":"message.updated","data":{"sessionID":"ses_A","info":{"role":"assistant","tokens":{"input":1e300,"cache":{"read":18446744073709551615,"write":-5}}}}})",
     Update{Update::Context{"ses_A", INT64_MAX, std::nullopt}}},
    {"original permission asked",
     R"({"id":"evt_3","type":"permission.asked","properties":{"id":"per_1","sessionID":"ses_A","permission":"bash","patterns":["ls"],"metadata":{},"always":["ls *"],"tool":{"messageID":"msg_1","callID":"call_1"}}})",
     Update{Update::PermissionAsked{"ses_A", "per_1", "bash", "call_1"}}},
    {"v2 permission asked, action wins over metadata title",
     R"({"type":"permission.v2.asked","data":{"id":"per_2","sessionID":"ses_A","action":"edit","resources":[],"metadata":{"title":"Edit a.c"},"source":{"type":"tool","messageID":"m","callID":"call_2"}}})",
     Update{Update::PermissionAsked{"ses_A", "per_2", "edit", "call_2"}}},
    {"v2 permission with metadata title only",
     R"({"type":"permission.v2.asked","data":{"id":"per_3","sessionID":"ses_A","metadata":{"title":"Edit a.c"}}})",
     Update{Update::PermissionAsked{"ses_A", "per_3", "Edit a.c", std::nullopt}}},
    {"permission without a title",
     R"({"type":"permission.v2.asked","data":{"id":"per_4","sessionID":"ses_A"}})",
     Update{Update::PermissionAsked{"ses_A", "per_4", "Needs your permission", std::nullopt}}},
    {"permission without request id", R"({"type":"permission.asked","properties":{"sessionID":"ses_A"}})",
     std::nullopt},
    {"original question asked",
     R"({"type":"question.asked","properties":{"id":"que_1","sessionID":"ses_A","questions":[{"question":"Which colour?","header":"Colour","options":[{"label":"Red","description":"warm"},{"label":"Blue"},{"description":"no label"}],"multiple":true}]}})",
     Update{Update::QuestionAsked{"ses_A", "que_1", pickColour()}}},
    {"v2 question asked",
     R"({"type":"question.v2.asked","data":{"id":"que_2","sessionID":"ses_A","questions":[{"question":"Which colour?","header":"Colour","options":[{"label":"Red","description":"warm"},{"label":"Blue"}],"multiple":true}]}})",
     Update{Update::QuestionAsked{"ses_A", "que_2", pickColour()}}},
    {"question without usable questions",
     R"({"type":"question.v2.asked","data":{"id":"que_3","sessionID":"ses_A","questions":[{"header":"x"}]}})",
     std::nullopt},
    {"question list with a non-object",
     R"({"type":"question.asked","properties":{"id":"que_3","sessionID":"ses_A","questions":[{"question":"Q"},1]}})",
     std::nullopt},
    {"original permission replied",
     R"({"type":"permission.replied","properties":{"sessionID":"ses_A","requestID":"per_1","reply":"once"}})",
     Update{Update::Resolved{"ses_A", "per_1"}}},
    {"original question rejected",
     R"({"type":"question.rejected","properties":{"sessionID":"ses_A","requestID":"que_1"}})",
     Update{Update::Resolved{"ses_A", "que_1"}}},
    {"original question replied",
     R"({"type":"question.replied","properties":{"sessionID":"ses_A","requestID":"que_1","answers":[["Red"]]}})",
     Update{Update::Resolved{"ses_A", "que_1"}}},
    {"v2 permission replied",
     R"({"type":"permission.v2.replied","data":{"sessionID":"ses_A","requestID":"per_2","reply":"reject"}})",
     Update{Update::Resolved{"ses_A", "per_2"}}},
    {"v2 question replied",
     R"({"type":"question.v2.replied","data":{"sessionID":"ses_A","requestID":"que_2","answers":[]}})",
     Update{Update::Resolved{"ses_A", "que_2"}}},
    {"v2 question rejected without request id",
     R"({"type":"question.v2.rejected","data":{"sessionID":"ses_A"}})",
     Update{Update::Resolved{"ses_A", std::nullopt}}},
    {"server connected", R"({"id":"evt_0","type":"server.connected","properties":{}})", std::nullopt},
    {"unknown type with a session", R"({"type":"todo.updated","data":{"sessionID":"ses_A"}})", std::nullopt},
    {"idle without session id", R"({"type":"session.idle","data":{"sessionID":7}})", std::nullopt},
    {"data of another type", R"({"type":"session.idle","data":"ses_A"})", std::nullopt},
    {"not JSON", "{\"type\":", std::nullopt},
    {"JSON that is not an object", R"(["session.idle"])", std::nullopt},
    {"too deeply nested", std::string(300, '[') + std::string(300, ']'), std::nullopt},
};

class OpenCodeEventCases : public ::testing::TestWithParam<EventCase>
{
};

TEST_P(OpenCodeEventCases, MapsRecordedLine)
{
    EXPECT_EQ(OpenCodeEvent::parse(GetParam().line), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Lines, OpenCodeEventCases, ::testing::ValuesIn(kCases), [](const auto& info) {
    std::string name;
    for (const char c : std::string(info.param.name))
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
});

TEST(OpenCodeEventTest, ToolPartIsDescribedFromItsInput)
{
    const auto update = OpenCodeEvent::parse(
        R"({"type":"message.part.updated","properties":{"sessionID":"ses_A","part":{"type":"tool","tool":"bash","callID":"call_9","state":{"status":"running","input":{"command":"npm test"}}}}})");
    ASSERT_TRUE(update);
    const auto* tool = update->as<Update::ToolActivity>();
    ASSERT_TRUE(tool);
    EXPECT_EQ(tool->activity, "$ npm test");
    ASSERT_TRUE(tool->tool);
    ASSERT_TRUE(tool->tool->as<ToolDetail::Bash>());
    EXPECT_EQ(tool->tool->as<ToolDetail::Bash>()->command, "npm test");
    EXPECT_EQ(tool->callID, "call_9");
}

TEST(OpenCodeEventTest, LongPermissionTitleIsOneBoundedLine)
{
    const std::string name(200, 'x');
    const auto update = OpenCodeEvent::parse(
        R"({"type":"permission.asked","properties":{"id":"per_1","sessionID":"s","permission":"a\nb)" + name +
        R"("}})");
    ASSERT_TRUE(update);
    const std::string& title = update->as<Update::PermissionAsked>()->title;
    EXPECT_EQ(title.find('\n'), std::string::npos);
    EXPECT_EQ(title, "a b" + std::string(60, 'x') + "\u2026");
}

} // namespace

TEST(OpenCodeEventTest, PathsFromTheServerAreCut)
{
    // A tool history entry keeps its paths: a server's 1 MB path must not be kept whole.
    const std::string huge(1'000'000, 'p');
    const auto tool = OpenCodeEvent::parse(
        R"({"type":"message.part.updated","properties":{"sessionID":"ses_A","part":{"type":"tool","tool":"read","callID":"c","state":{"input":{"filePath":"/)" +
        huge + R"("}}}}})");
    ASSERT_TRUE(tool && tool->as<Update::ToolActivity>());
    const auto& detail = tool->as<Update::ToolActivity>()->tool;
    ASSERT_TRUE(detail && detail->as<ToolDetail::Read>());
    EXPECT_LE(detail->as<ToolDetail::Read>()->path.size(), 4096u * 3);
    EXPECT_LE(tool->as<Update::ToolActivity>()->activity.size(), 4096u * 3);

    const auto session = OpenCodeEvent::parse(
        R"({"type":"session.updated","properties":{"info":{"id":"ses_A","directory":"/)" + huge +
        R"(","title":")" + huge + R"("}}})");
    ASSERT_TRUE(session && session->as<Update::Upsert>());
    EXPECT_LE(session->as<Update::Upsert>()->cwd->size(), 4096u * 3);
    EXPECT_LE(session->as<Update::Upsert>()->title->size(), 4096u * 3);
}
