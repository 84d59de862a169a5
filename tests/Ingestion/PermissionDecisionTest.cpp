#include "Ingestion/PermissionDecision.h"

#include <gtest/gtest.h>

using namespace velquist;
using nlohmann::json;

TEST(PermissionDecisionTest, ClaudeAndCodexDocuments)
{
    struct Case
    {
        const char* name;
        std::string bytes;
        const char* expected;
    };
    const Case cases[] = {
        {"bare allow", PermissionDecision::allow(std::nullopt, json::array()),
         R"({"hookSpecificOutput":{"decision":{"behavior":"allow"},"hookEventName":"PermissionRequest"}})"},
        {"empty updated input", PermissionDecision::allow(json::object(), std::nullopt),
         R"({"hookSpecificOutput":{"decision":{"behavior":"allow","updatedInput":{}},"hookEventName":"PermissionRequest"}})"},
        {"permissions", PermissionDecision::allow(std::nullopt, json::parse(R"([{"type":"addRules"}])")),
         R"({"hookSpecificOutput":{"decision":{"behavior":"allow","updatedPermissions":[{"type":"addRules"}]},"hookEventName":"PermissionRequest"}})"},
        {"deny", PermissionDecision::deny("Denied from Velquist"),
         R"({"hookSpecificOutput":{"decision":{"behavior":"deny","message":"Denied from Velquist"},"hookEventName":"PermissionRequest"}})"},
        {"slashes escaped", PermissionDecision::deny("not /etc/passwd"),
         R"({"hookSpecificOutput":{"decision":{"behavior":"deny","message":"not \/etc\/passwd"},"hookEventName":"PermissionRequest"}})"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.bytes, c.expected) << c.name;
}

TEST(PermissionDecisionTest, NeverThrowsOnInvalidText)
{
    const std::string bytes = PermissionDecision::deny(std::string("bad \xff byte"));
    EXPECT_FALSE(bytes.empty());
    EXPECT_TRUE(json::accept(bytes));
}
