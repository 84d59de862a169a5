#include "Terminal/JumpRule.h"
#include "Terminal/JumpRuleStore.h"

#include "Core/Session.h"
#include "Platform/UserDefaults.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace velquist;

namespace {

Session session(std::optional<std::string> tty, std::optional<std::int64_t> pid, std::string cwd)
{
    Session s;
    s.id = "claude:3f2a9c1e-1111";
    s.cwd = std::move(cwd);
    s.terminal.tty = std::move(tty);
    s.terminal.ownerPID = pid;
    return s;
}

const std::string idA = "0E4C1D2A-5B6C-4D7E-8F90-A1B2C3D4E5F6";
const std::string idB = "11111111-2222-4333-8444-555555555555";

} // namespace

TEST(JumpRuleTest, UrlFillsPlaceholdersEncodedAndKeepsTheTemplatesScheme)
{
    const auto full = session("pts/3", 4321, "/home/me/a b&c/{x}%/été");
    const auto bare = session(std::nullopt, std::nullopt, "/tmp");
    struct Case
    {
        std::string urlTemplate;
        const Session& session;
        std::optional<std::string> url;
    };
    const Case cases[] = {
        {"myterm://focus?tty={tty}", full, "myterm://focus?tty=pts/3"},
        {"myterm://focus?tty={tty}", bare, std::nullopt},
        {"myterm://focus", bare, "myterm://focus"},
        {"myterm://open?pid={pid}&d={cwd}", full,
         "myterm://open?pid=4321&d=/home/me/a%20b%26c/%7Bx%7D%25/%C3%A9t%C3%A9"},
        {"x-term+1.2:{session}/{session}", full, "x-term+1.2:claude:3f2a9c1e-1111/claude:3f2a9c1e-1111"},
        // Session data can never choose the scheme.
        {"{cwd}", full, std::nullopt},
        {"{tty}://x", full, std::nullopt},
        {"my{tty}://x", full, std::nullopt},
        {"no-scheme-here", full, std::nullopt},
        {"", full, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ((JumpRule{idA, "a", c.urlTemplate, true}.url(c.session)), c.url) << c.urlTemplate;
}

TEST(JumpRuleTest, StoreFindsTheFirstUsableRuleIgnoringCase)
{
    UserDefaults defaults;
    JumpRuleStore store(defaults);
    store.add({idA, "org.example.Term", "", true});              // empty template
    store.add({idB, "org.example.term", "t://disabled", false}); // disabled
    store.add({"22222222-2222-4333-8444-555555555555", "org.example.term", "t://first", true});
    store.add({"33333333-2222-4333-8444-555555555555", "org.example.term", "t://second", true});
    EXPECT_EQ(store.rule("ORG.EXAMPLE.TERM")->urlTemplate, "t://first");
    EXPECT_EQ(store.rule(std::string()), std::nullopt);
    EXPECT_EQ(store.rule(std::nullopt), std::nullopt);
    EXPECT_EQ(store.rule("org.other"), std::nullopt);
}

TEST(JumpRuleTest, StoreSavesEveryChangeAndReadsItBack)
{
    UserDefaults defaults;
    {
        JumpRuleStore store(defaults);
        QSignalSpy changes(&store, &JumpRuleStore::rulesChanged);
        store.add({idA, "a", "t://a/{cwd}", true});
        store.add({idB, "b", "t://b", true});
        store.update(idA, std::nullopt, " t://new ", false);
        store.remove(idB);
        EXPECT_EQ(changes.size(), 4);
    }
    const auto stored = defaults.value(JumpRuleStore::key);
    ASSERT_TRUE(stored && stored->is_string());
    EXPECT_EQ(stored->get<std::string>(),
              "[{\"id\":\"" + idA +
                  "\",\"bundleID\":\"a\",\"urlTemplate\":\" t:\\/\\/new \",\"isEnabled\":false}]");
    JumpRuleStore reread(defaults);
    EXPECT_EQ(reread.rules(), (std::vector<JumpRule>{{idA, "a", " t://new ", false}}));

    // An unknown id changes nothing and saves nothing.
    defaults.setValue(JumpRuleStore::key, "sentinel");
    reread.update("00000000-0000-4000-8000-000000000000", "x", "y", true);
    EXPECT_EQ(defaults.value(JumpRuleStore::key), nlohmann::json("sentinel"));
}

TEST(JumpRuleTest, MalformedRulesAreSkippedAndTheStoredValueKeptAside)
{
    const std::string good =
        R"({"id":")" + idA + R"(","bundleID":"a","urlTemplate":"t:\/\/a","isEnabled":true})";
    struct Case
    {
        const char* what;
        nlohmann::json stored;
        std::size_t rulesRead;
    };
    const Case cases[] = {
        {"one rule lacks a key", "[" + good + R"(,{"id":")" + idB + R"(","bundleID":"b","isEnabled":true}])",
         1},
        {"one rule has a wrong type",
         "[" + good + R"(,{"id":")" + idB + R"(","bundleID":"b","urlTemplate":"t:","isEnabled":"yes"}])", 1},
        {"one id is no UUID",
         "[" + good + R"(,{"id":"x","bundleID":"b","urlTemplate":"t:","isEnabled":true}])", 1},
        {"not JSON", "[{oops", 0},
        {"not an array", R"({"id":1})", 0},
        {"a number", 42, 0},
    };
    for (const auto& c : cases) {
        UserDefaults defaults;
        defaults.setValue(JumpRuleStore::key, c.stored);
        JumpRuleStore store(defaults);
        EXPECT_EQ(store.rules().size(), c.rulesRead) << c.what;
        // Loading writes nothing back.
        EXPECT_EQ(defaults.value(JumpRuleStore::key), c.stored) << c.what;
        store.add({idB, "b", "t://b", true});
        EXPECT_EQ(defaults.value(JumpRuleStore::unreadableKey), c.stored) << c.what;
        EXPECT_EQ(JumpRuleStore(defaults).rules().size(), c.rulesRead + 1) << c.what;
    }
}
