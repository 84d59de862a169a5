#include "Ingestion/HookInstaller.h"
#include "Shared/HomePaths.h"
#include "Shared/HookCleanup.h"
#include "Shared/Json.h"
#include "support/MemoryDefaults.h"
#include "support/base/TemporaryFolder.h"

#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace velquist;
namespace fs = std::filesystem;
using OrderedJson = nlohmann::ordered_json;

namespace {

mode_t modeOf(const fs::path& path)
{
    struct stat info
    {
    };
    ::stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

OrderedJson parsed(const std::string& text)
{
    return OrderedJson::parse(text);
}

std::vector<std::string> keysOf(const OrderedJson& object)
{
    std::vector<std::string> keys;
    for (const auto& [key, value] : object.items())
        keys.push_back(key);
    return keys;
}

const std::vector<std::string> kClaudeEvents = {"SessionStart", "UserPromptSubmit",  "PreToolUse",
                                                "PostToolUse",  "PermissionRequest", "Notification",
                                                "Stop",         "SessionEnd"};

} // namespace

class HookInstallerTest : public ::testing::Test
{
  protected:
    test::TemporaryFolder home;
    const HomePaths paths{home.path()};
    test::MemoryDefaults defaults;
    HookInstallTarget claude() const { return HookInstaller::claudeTarget(paths, defaults); }
    fs::path settingsPath() const { return home.path() / ".claude/settings.json"; }
    std::string helper() const { return paths.installedHelper().string(); }

    std::string claudeCommand() const
    {
        return "\"" + helper() + "\" --engine claude --decide-on PermissionRequest";
    }
    OrderedJson ownGroup(std::int64_t timeout) const
    {
        return OrderedJson{
            {"hooks", OrderedJson::array({OrderedJson{
                          {"command", claudeCommand()}, {"timeout", timeout}, {"type", "command"}}})}};
    }
};

// Each starting file of Claude Code's settings, and what an install must make of it.
TEST_F(HookInstallerTest, ClaudeSettingsTable)
{
    struct Case
    {
        const char* name;
        const char* initial; // nullptr: no file
        // Empty: the install succeeds; else the text the error must end with.
        std::string refusal;
        std::function<void(const OrderedJson&)> check;
    };
    const std::string notObject = " is not a JSON object; refusing to modify it.";
    // Broken JSON is no object either.
    const std::string notJson = notObject;
    const std::vector<Case> cases = {
        {"missing", nullptr, "",
         [&](const OrderedJson& s) {
             EXPECT_EQ(keysOf(s), std::vector<std::string>{"hooks"});
             EXPECT_EQ(keysOf(s["hooks"]), kClaudeEvents);
             EXPECT_EQ(s["hooks"]["PreToolUse"], OrderedJson::array({ownGroup(10)}));
             EXPECT_EQ(s["hooks"]["PermissionRequest"], OrderedJson::array({ownGroup(14400)}));
         }},
        {"empty", "", notJson, nullptr},
        {"whitespace", " \n", notJson, nullptr},
        {"truncated", R"({"hooks": {)", notJson, nullptr},
        {"list", "[]", notObject, nullptr},
        {"null", "null", notObject, nullptr},
        {"string", R"("hooks")", notObject, nullptr},
        {"other members keep their order",
         R"j({"model":"opus","env":{"B":"2","A":"1"},"permissions":{"allow":["Bash(ls)"]}})j", "",
         [&](const OrderedJson& s) {
             EXPECT_EQ(keysOf(s), (std::vector<std::string>{"model", "env", "permissions", "hooks"}));
             EXPECT_EQ(keysOf(s["env"]), (std::vector<std::string>{"B", "A"}));
             EXPECT_EQ(s["permissions"], parsed(R"j({"allow":["Bash(ls)"]})j"));
         }},
        {"group without hooks", R"({"hooks":{"PreToolUse":[{"matcher":"Bash"}]}})", "",
         [&](const OrderedJson& s) {
             EXPECT_EQ(s["hooks"]["PreToolUse"],
                       OrderedJson::array({parsed(R"({"matcher":"Bash"})"), ownGroup(10)}));
         }},
        {"user hooks on the same events",
         R"({"hooks":{"Stop":[{"hooks":[{"type":"command","command":"say done"}]}],"Custom":[{"hooks":[]}]}})",
         "",
         [&](const OrderedJson& s) {
             EXPECT_EQ(s["hooks"]["Stop"],
                       OrderedJson::array(
                           {parsed(R"({"hooks":[{"type":"command","command":"say done"}]})"), ownGroup(10)}));
             EXPECT_EQ(s["hooks"]["Custom"], parsed(R"([{"hooks":[]}])"));
             EXPECT_EQ(keysOf(s["hooks"]).front(), "Stop");
         }},
        {"our entry with an old command and time-out, inside a user's group",
         R"({"hooks":{"PreToolUse":[{"matcher":"*","hooks":[{"type":"command","command":"/old/Velquist/bin/quorvel","timeout":5,"extra":true},{"type":"command","command":"lint"}]}]}})",
         "",
         [&](const OrderedJson& s) {
             const OrderedJson& group = s["hooks"]["PreToolUse"].at(0);
             EXPECT_EQ(s["hooks"]["PreToolUse"].size(), 1u);
             EXPECT_EQ(group["matcher"], "*");
             EXPECT_EQ(
                 group["hooks"].at(0),
                 (OrderedJson{
                     {"type", "command"}, {"command", claudeCommand()}, {"timeout", 10}, {"extra", true}}));
             EXPECT_EQ(group["hooks"].at(1), parsed(R"({"type":"command","command":"lint"})"));
         }},
        {"duplicates of ours",
         R"({"hooks":{"Stop":[{"hooks":[{"type":"command","command":"/h/Tarrowin/bin/quorvel","timeout":10}]},{"hooks":[{"command":"keep"},{"type":"command","command":"/h/Velquist/bin/quorvel x","timeout":10}]},{"hooks":[{"type":"command","command":"/h/Velquist/bin/quorvel y"}]}]}})",
         "",
         [&](const OrderedJson& s) {
             EXPECT_EQ(
                 s["hooks"]["Stop"],
                 OrderedJson::array(
                     {OrderedJson{{"hooks", OrderedJson::array({OrderedJson{{"type", "command"},
                                                                            {"command", claudeCommand()},
                                                                            {"timeout", 10}}})}},
                      parsed(R"({"hooks":[{"command":"keep"}]})")}));
         }},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(home.path() / ".claude");
        if (c.initial)
            home.write(".claude/settings.json", c.initial);

        const ConfigChange result = HookInstaller::installHooks(claude());
        const std::string after = home.read(".claude/settings.json");
        if (!c.refusal.empty()) {
            EXPECT_FALSE(result.ok());
            EXPECT_EQ(result.error, settingsPath().string() + c.refusal);
            EXPECT_EQ(after, c.initial);
            EXPECT_FALSE(fs::exists(home.path() / ".claude/settings.json.velquist.bak"));
            EXPECT_FALSE(HookInstaller::hooksInstalled(claude()));
            continue;
        }
        ASSERT_TRUE(result.ok()) << result.error;
        EXPECT_TRUE(result.changed);
        c.check(parsed(after));
        if (c.initial) {
            EXPECT_EQ(home.read(".claude/settings.json.velquist.bak"), c.initial);
        } else {
            EXPECT_FALSE(fs::exists(home.path() / ".claude/settings.json.velquist.bak"));
        }
        EXPECT_TRUE(HookInstaller::hooksInstalled(claude()));

        // A second install finds nothing to do and leaves file and backup alone.
        const std::string backup = home.read(".claude/settings.json.velquist.bak");
        const ConfigChange again = HookInstaller::installHooks(claude());
        EXPECT_TRUE(again.ok());
        EXPECT_FALSE(again.changed);
        EXPECT_EQ(home.read(".claude/settings.json"), after);
        EXPECT_EQ(home.read(".claude/settings.json.velquist.bak"), backup);

        // Removing our entries again gives back exactly what the user had, in the user's order.
        OrderedJson expected = c.initial ? parsed(c.initial) : OrderedJson::object();
        HookCleanup::strip(expected);
        EXPECT_EQ(HookCleanup::stripAllConfigs(home.path()), std::vector<fs::path>{settingsPath()});
        EXPECT_EQ(parsed(home.read(".claude/settings.json")).dump(), expected.dump());
    }
}

TEST_F(HookInstallerTest, FileThatCannotBeReadIsLeftAloneAndFails)
{
    fs::create_directories(settingsPath()); // exists, but is no file we could read
    const ConfigChange result = HookInstaller::installHooks(claude());
    EXPECT_FALSE(result.ok());
    EXPECT_FALSE(result.error.empty());
    EXPECT_TRUE(fs::is_directory(settingsPath()));
    EXPECT_FALSE(HookInstaller::hooksInstalled(claude()));

    fs::remove(settingsPath());
    ASSERT_EQ(::mkfifo(settingsPath().c_str(), 0600), 0);
    EXPECT_FALSE(HookInstaller::installHooks(claude()).ok());
    EXPECT_TRUE(fs::is_fifo(settingsPath()));
}

TEST_F(HookInstallerTest, RewriteFollowsSymlinkAndKeepsModes)
{
    const std::string original = R"({"apiKeyHelper":"secret"})";
    const fs::path real = home.write("dotfiles/claude.json", original);
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_directories(home.path() / ".claude");
    fs::create_symlink("../dotfiles/claude.json", settingsPath());
    // An older backup that others could read must not stay readable with the new content.
    home.write(".claude/settings.json.velquist.bak", "old");
    fs::permissions(home.path() / ".claude/settings.json.velquist.bak", fs::perms(0644));

    const ConfigChange result = HookInstaller::installHooks(claude());
    ASSERT_TRUE(result.ok()) << result.error;
    EXPECT_TRUE(fs::is_symlink(settingsPath()));
    EXPECT_EQ(modeOf(real), 0600u);
    EXPECT_EQ(parsed(home.read("dotfiles/claude.json"))["apiKeyHelper"], "secret");
    EXPECT_EQ(home.read(".claude/settings.json.velquist.bak"), original);
    EXPECT_EQ(modeOf(home.path() / ".claude/settings.json.velquist.bak"), 0600u);
}

TEST_F(HookInstallerTest, NewFileIsPrivate)
{
    ASSERT_TRUE(HookInstaller::installHooks(claude()).ok());
    EXPECT_EQ(modeOf(settingsPath()), 0600u);
}

TEST_F(HookInstallerTest, FailedBackupLeavesConfigurationUntouched)
{
    const std::string original = R"({"a":1})";
    home.write(".claude/settings.json", original);
    fs::create_directories(home.path() / ".claude/settings.json.velquist.bak/blocker");
    const ConfigChange result = HookInstaller::installHooks(claude());
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(home.read(".claude/settings.json"), original);
}

TEST_F(HookInstallerTest, CommandsQuoteHelperPathForShell)
{
    struct Case
    {
        const char* path;
        const char* quoted;
    };
    const Case cases[] = {
        {"/home/ann/.local/share/Velquist/bin/quorvel", R"("/home/ann/.local/share/Velquist/bin/quorvel")"},
        {"/home/Ann Lee/x", R"("/home/Ann Lee/x")"},
        {R"(/home/a"b/x)", R"("/home/a\"b/x")"},
        {"/home/$USER`id`/x", R"("/home/\$USER\`id\`/x")"},
        {R"(/home/back\slash/x)", R"("/home/back\\slash/x")"},
        {"/home/it's/x", R"("/home/it's/x")"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HookInstaller::quotedPath(c.path), c.quoted) << c.path;

    // Run through a real shell, the quoted path is the path again, whatever it holds.
    for (const Case& c : cases) {
        const std::string script = "printf %s " + HookInstaller::quotedPath(c.path);
        FILE* pipe = ::popen(script.c_str(), "r"); // popen hands the line to /bin/sh -c
        ASSERT_NE(pipe, nullptr);
        char buffer[256] = {};
        const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, pipe);
        ::pclose(pipe);
        EXPECT_EQ(std::string(buffer, n), c.path);
    }
}

TEST_F(HookInstallerTest, CommandLinesOfEachEngine)
{
    const std::string helper = this->helper();
    EXPECT_EQ(HookInstaller::expectedCommand(helper, "claude", "PermissionRequest", std::nullopt),
              "\"" + helper + "\" --engine claude --decide-on PermissionRequest");
    EXPECT_EQ(HookInstaller::expectedCommand(helper, "qwen", "PermissionRequest", std::string()),
              "\"" + helper + "\" --engine qwen --decide-on PermissionRequest");
    const HookInstallTarget gemini = HookInstaller::target(paths, *AgentCatalog::find(AgentKind::gemini));
    EXPECT_EQ(
        HookInstaller::expectedCommand(helper, "gemini", "BeforeTool", gemini.unavailableResponse),
        "\"" + helper +
            R"(" --engine gemini --decide-on BeforeTool --unavailable '{"decision":"deny","reason":"Velquist is not running to approve this tool"}')");
    EXPECT_EQ(HookInstaller::cursorCommand("stop", "/h/q"),
              R"("/h/q" --engine cursor --decide-on beforeShellExecution)");
    EXPECT_EQ(HookInstaller::cursorCommand("beforeMCPExecution", "/h/q"),
              R"("/h/q" --engine cursor --decide-on beforeMCPExecution)");
}

TEST_F(HookInstallerTest, GeminiAndQwenUseMilliseconds)
{
    for (const HookInstallTarget& target :
         {HookInstaller::target(paths, *AgentCatalog::find(AgentKind::gemini)),
          HookInstaller::target(paths, *AgentCatalog::find(AgentKind::qwen))}) {
        SCOPED_TRACE(target.engineNamespace);
        ASSERT_TRUE(HookInstaller::installHooks(target).changed);
        const OrderedJson hooks =
            parsed(home.read(fs::relative(target.configURL, home.path()).string()))["hooks"];
        EXPECT_EQ(keysOf(hooks), target.events);
        for (const std::string& event : target.events) {
            const OrderedJson& entry = hooks[event][0]["hooks"][0];
            EXPECT_EQ(entry["timeout"], event == target.decideOn ? 14400000 : 10000) << event;
            EXPECT_EQ(entry["command"],
                      HookInstaller::expectedCommand(helper(), target.engineNamespace, target.decideOn,
                                                     target.unavailableResponse));
        }
    }
}

TEST_F(HookInstallerTest, CursorFlatFile)
{
    struct Case
    {
        const char* name;
        const char* initial;
        bool changed;
    };
    const std::string helper = this->helper();
    // A file already holding our current entries, built by the installer itself.
    OrderedJson current = OrderedJson::object();
    HookInstaller::mergeCursor(current, helper);
    const std::string currentText = current.dump();
    const Case cases[] = {
        {"no version", R"({"hooks":{}})", true},
        {"version 2", R"({"version":2,"hooks":{}})", true},
        {"current", currentText.c_str(), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        home.write(".cursor/hooks.json", c.initial);
        const ConfigChange result =
            HookInstaller::installHooks(HookInstaller::target(paths, *AgentCatalog::find(AgentKind::cursor)));
        ASSERT_TRUE(result.ok()) << result.error;
        EXPECT_EQ(result.changed, c.changed);
        const OrderedJson settings = parsed(home.read(".cursor/hooks.json"));
        EXPECT_EQ(settings["version"], 1);
        for (const char* event : {"sessionStart", "preToolUse", "postToolUse", "stop"}) {
            EXPECT_EQ(settings["hooks"][event],
                      OrderedJson::array({OrderedJson{
                          {"command", HookInstaller::cursorCommand(event, helper)}, {"timeout", 10}}}));
        }
        for (const char* event : {"beforeShellExecution", "beforeMCPExecution"}) {
            EXPECT_EQ(settings["hooks"][event],
                      OrderedJson::array(
                          {OrderedJson{{"command", "\"" + helper + "\" --engine cursor --decide-on " + event},
                                       {"timeout", 14400}}}));
        }
    }
}

TEST_F(HookInstallerTest, CursorKeepsUserEntriesAndDropsOurDuplicates)
{
    home.write(
        ".cursor/hooks.json",
        R"({"hooks":{"stop":[{"command":"notify"},{"command":"/x/Velquist/bin/quorvel","timeout":3},{"command":"/x/Tarrowin/bin/quorvel"}]},"version":1})");
    ASSERT_TRUE(
        HookInstaller::installHooks(HookInstaller::target(paths, *AgentCatalog::find(AgentKind::cursor)))
            .changed);
    const OrderedJson settings = parsed(home.read(".cursor/hooks.json"));
    EXPECT_EQ(keysOf(settings), (std::vector<std::string>{"hooks", "version"}));
    EXPECT_EQ(settings["hooks"]["stop"],
              OrderedJson::array({OrderedJson{{"command", "notify"}},
                                  OrderedJson{{"command", HookInstaller::cursorCommand("stop", helper())},
                                              {"timeout", 10}}}));
}

TEST_F(HookInstallerTest, ClaudeTargetFollowsCachedProbeAnswers)
{
    home.write(".local/share/claude/versions/2.0.14", "binary SubagentStart SubagentStop");
    EXPECT_EQ(claude().events, kClaudeEvents) << "an unprobed version counts as not supporting them";

    ASSERT_TRUE(HookInstaller::installHooks(claude()).changed);
    defaults.setValue("claudeHookSupport.2.0.14.SubagentStart", true);
    std::vector<std::string> withStart = kClaudeEvents;
    withStart.push_back("SubagentStart");
    EXPECT_EQ(claude().events, withStart);
    EXPECT_FALSE(HookInstaller::hooksInstalled(claude()));

    // The second install adds only the new event; the others stay as they were.
    const OrderedJson before = parsed(home.read(".claude/settings.json"))["hooks"];
    ASSERT_TRUE(HookInstaller::installHooks(claude()).changed);
    OrderedJson after = parsed(home.read(".claude/settings.json"))["hooks"];
    EXPECT_EQ(after["SubagentStart"], OrderedJson::array({ownGroup(10)}));
    after.erase("SubagentStart");
    EXPECT_EQ(after, before);
}

TEST_F(HookInstallerTest, TargetsTable)
{
    struct Row
    {
        HookInstallTarget target;
        const char* config;
        const char* engine;
        const char* decideOn;
        int scale;
        bool unavailable;
    };
    const Row rows[] = {
        {claude(), ".claude/settings.json", "claude", "PermissionRequest", 1, false},
        {HookInstaller::target(paths, *AgentCatalog::find(AgentKind::codex)), ".codex/hooks.json", "codex",
         "PermissionRequest", 1, false},
        {HookInstaller::target(paths, *AgentCatalog::find(AgentKind::cursor)), ".cursor/hooks.json", "cursor",
         "PermissionRequest", 1, false},
        {HookInstaller::target(paths, *AgentCatalog::find(AgentKind::gemini)), ".gemini/settings.json",
         "gemini", "BeforeTool", 1000, true},
        {HookInstaller::target(paths, *AgentCatalog::find(AgentKind::qwen)), ".qwen/settings.json", "qwen",
         "PermissionRequest", 1000, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.engine);
        EXPECT_EQ(row.target.configURL, home.path() / row.config);
        EXPECT_EQ(row.target.backupURL, home.path() / (std::string(row.config) + ".velquist.bak"));
        EXPECT_EQ(row.target.engineNamespace, row.engine);
        EXPECT_EQ(row.target.decideOn, row.decideOn);
        EXPECT_EQ(row.target.decideEvents, std::set<std::string>{row.decideOn});
        EXPECT_EQ(row.target.timeoutScale, row.scale);
        EXPECT_EQ(row.target.unavailableResponse.has_value(), row.unavailable);
        if (row.unavailable) {
            EXPECT_TRUE(OrderedJson::parse(*row.target.unavailableResponse).is_object());
        }
    }
    EXPECT_EQ(HookInstaller::target(paths, *AgentCatalog::find(AgentKind::codex)).events,
              (std::vector<std::string>{"SessionStart", "UserPromptSubmit", "PreToolUse", "PermissionRequest",
                                        "PostToolUse", "Stop"}));
    EXPECT_EQ(HookInstaller::target(paths, *AgentCatalog::find(AgentKind::qwen)).events,
              (std::vector<std::string>{"SessionStart", "UserPromptSubmit", "PreToolUse", "PermissionRequest",
                                        "PostToolUse", "Stop", "SessionEnd", "Notification"}));
}

TEST_F(HookInstallerTest, HelperIsCopiedExecutableAndReplacedWhole)
{
    const fs::path source = home.write("build/quorvel", "#!/bin/sh\necho new\n");
    fs::permissions(source, fs::perms(0755));
    home.write(".local/share/Velquist/bin/quorvel", "old");
    ASSERT_TRUE(HookInstaller::ensureHelperInstalled(paths, source).ok());
    EXPECT_EQ(home.read(".local/share/Velquist/bin/quorvel"), "#!/bin/sh\necho new\n");
    EXPECT_EQ(modeOf(paths.installedHelper()), 0755u);
    EXPECT_EQ(modeOf(paths.support()), 0700u);
    EXPECT_FALSE(fs::exists(home.path() / ".local/share/Velquist/bin/quorvel.tmp"));

    // A missing source fails and keeps the copy that was there.
    const FileResult failed = HookInstaller::ensureHelperInstalled(paths, home.path() / "nowhere");
    EXPECT_FALSE(failed.ok());
    EXPECT_EQ(home.read(".local/share/Velquist/bin/quorvel"), "#!/bin/sh\necho new\n");
}

TEST(HookInstallerHomeTest, OddHomeFoldersStillRunOurClientAndAreRecognised)
{
    test::TemporaryFolder root;
    test::MemoryDefaults defaults;
    for (const char* name : {"Ann Lee", "o'brien", "say \"hi\"", "$HOME", "back`tick`", "back\\slash"}) {
        SCOPED_TRACE(name);
        const HomePaths paths(root.path() / name);
        fs::create_directories(paths.home());
        const HookInstallTarget target = HookInstaller::claudeTarget(paths, defaults);
        const std::string command = HookInstaller::expectedCommand(paths.installedHelper().string(), "claude",
                                                                   "PermissionRequest", std::nullopt);
        EXPECT_TRUE(HookCleanup::isOurs(command)) << command;
        ASSERT_TRUE(HookInstaller::installHooks(target).changed);
        EXPECT_TRUE(HookInstaller::hooksInstalled(target));
        EXPECT_FALSE(HookInstaller::installHooks(target).changed)
            << "our entry must be found again, not added twice";
        EXPECT_EQ(HookCleanup::stripAllConfigs(paths.home()), std::vector<fs::path>{target.configURL});
        EXPECT_EQ(OrderedJson::parse(FileUtil::read(target.configURL).bytes), OrderedJson::object());
    }
}

// Installs that predate Qwen Code's decide event waited on "PreToolUse", which Qwen runs only
// after its own dialog: healing moves the wait to "PermissionRequest" and keeps the user's hooks.
TEST_F(HookInstallerTest, AnEarlierQwenInstallIsHealedToDecideOnPermissionRequest)
{
    home.write(".qwen/settings.json",
               R"({"hooks":{"Stop":[{"hooks":[{"type":"command","command":"bell"}]}]}})");
    HookInstallTarget earlier = HookInstaller::target(paths, *AgentCatalog::find(AgentKind::qwen));
    earlier.events = {"SessionStart", "UserPromptSubmit", "PreToolUse",  "PostToolUse",
                      "Stop",         "SessionEnd",       "Notification"};
    earlier.decideOn = "PreToolUse";
    earlier.decideEvents = {"PreToolUse"};
    earlier.unavailableResponse =
        R"({"hookSpecificOutput":{"hookEventName":"PreToolUse","permissionDecision":"deny","permissionDecisionReason":"Velquist is not running to approve this tool"}})";
    ASSERT_TRUE(HookInstaller::installHooks(earlier).ok());

    const HookInstallTarget current = HookInstaller::target(paths, *AgentCatalog::find(AgentKind::qwen));
    EXPECT_FALSE(HookInstaller::hooksInstalled(current));
    ASSERT_TRUE(HookInstaller::installHooks(current).ok());
    EXPECT_TRUE(HookInstaller::hooksInstalled(current));

    const OrderedJson hooks = parsed(home.read(".qwen/settings.json"))["hooks"];
    const std::string command =
        HookInstaller::expectedCommand(helper(), "qwen", "PermissionRequest", std::nullopt);
    const std::pair<const char*, std::int64_t> expected[] = {
        {"PermissionRequest", 14400 * 1000}, {"PreToolUse", 10 * 1000}, {"SessionStart", 10 * 1000}};
    for (const auto& [event, timeout] : expected) {
        SCOPED_TRACE(event);
        ASSERT_TRUE(hooks.contains(event));
        int ours = 0;
        for (const auto& group : hooks[event]) {
            for (const auto& entry : group["hooks"]) {
                ++ours;
                EXPECT_EQ(entry["command"], command);
                EXPECT_EQ(entry["timeout"], timeout);
            }
        }
        EXPECT_EQ(ours, 1);
    }
    EXPECT_EQ(hooks["Stop"][0]["hooks"][0]["command"], "bell");
}

// Values under "hooks" that are not what an agent's hook list looks like belong to the user: they
// stay byte for byte, and the events they hold do not count as installed.
TEST_F(HookInstallerTest, ValuesWeDoNotUnderstandAreLeftExactlyAsTheyAre)
{
    struct Case
    {
        const char* name;
        const char* initial;
        bool fileChanges; // other events can still be installed beside the odd one
    };
    const Case cases[] = {
        {"hooks is a string", R"({"hooks":"mine"})", false},
        {"hooks is a list", R"({"hooks":[{"a":1}]})", false},
        {"event is a string", R"({"hooks":{"Stop":"echo done"}})", true},
        {"event is an object", R"({"hooks":{"Stop":{"command":"x"}}})", true},
        {"event list holds a string", R"({"hooks":{"Stop":[{"hooks":[]},"echo"]}})", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        home.write(".claude/settings.json", c.initial);
        const OrderedJson original = parsed(c.initial);
        EXPECT_TRUE(HookInstaller::installHooks(claude()).ok());
        const OrderedJson after = parsed(home.read(".claude/settings.json"));
        if (original["hooks"].is_object())
            EXPECT_EQ(after["hooks"]["Stop"], original["hooks"]["Stop"]);
        else
            EXPECT_EQ(home.read(".claude/settings.json"), c.initial);
        EXPECT_EQ(home.read(".claude/settings.json") != c.initial, c.fileChanges);
        EXPECT_FALSE(HookInstaller::hooksInstalled(claude()));
        fs::remove(settingsPath());
        fs::remove(home.path() / ".claude/settings.json.velquist.bak");
    }
}

// Install, strip and install again: every byte of the user's file is still there, in its layout.
TEST_F(HookInstallerTest, InstallAndStripGiveBackTheUsersBytes)
{
    const std::string files[] = {
        R"({"model":"x","n":123456789012345678901234567890,"f":1.50})",
        "\xEF\xBB\xBF{\r\n    \"model\": \"x\",\r\n    \"hooks\": {\r\n        \"Stop\": [\r\n            "
        "{\"hooks\": [{\"type\": \"command\", \"command\": \"mine\"}]}\r\n        ]\r\n    }\r\n}\r\n",
        "{\n\t\"env\": {\"A\": \"\\u00e9\"}\n}",
    };
    for (const std::string& original : files) {
        SCOPED_TRACE(original);
        home.write(".claude/settings.json", original);
        ASSERT_TRUE(HookInstaller::installHooks(claude()).ok());
        const std::string installed = home.read(".claude/settings.json");
        EXPECT_TRUE(HookInstaller::hooksInstalled(claude()));
        EXPECT_EQ(original.find('\n') == std::string::npos, installed.find('\n') == std::string::npos);
        const HookConfigEdit stripped = HookCleanup::editConfig(
            {settingsPath(), HookCleanup::backupOf(settingsPath())}, HookCleanup::strip);
        EXPECT_EQ(stripped.status, HookConfigEdit::Status::rewritten);
        EXPECT_EQ(home.read(".claude/settings.json"), original);
        ASSERT_TRUE(HookInstaller::installHooks(claude()).ok());
        EXPECT_EQ(home.read(".claude/settings.json"), installed);
    }
}

TEST_F(HookInstallerTest, ReadOnlyOrForeignConfigurationIsNeverReplaced)
{
    const std::string original = R"({"a":1})";
    const fs::path path = home.write(".claude/settings.json", original);
    fs::permissions(path, fs::perms::owner_read);
    ConfigChange result = HookInstaller::installHooks(claude());
    EXPECT_FALSE(result.ok());
    EXPECT_NE(result.error.find("read-only"), std::string::npos) << result.error;
    EXPECT_EQ(home.read(".claude/settings.json"), original);
    EXPECT_EQ(modeOf(path), 0400u);
    EXPECT_FALSE(fs::exists(home.path() / ".claude/settings.json.velquist.bak"));

    if (::geteuid() != 0)
        return; // only a privileged test can hand the file to someone else
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
    result = HookInstaller::installHooks(claude());
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(home.read(".claude/settings.json"), original);
    struct stat info
    {
    };
    ::stat(path.c_str(), &info);
    EXPECT_EQ(info.st_uid, 65534u);
}

TEST_F(HookInstallerTest, SymlinkedBackupIsReplacedNotWrittenThrough)
{
    const std::string original = R"({"a":1})";
    home.write(".claude/settings.json", original);
    const fs::path victim = home.write("precious.txt", "keep me");
    fs::create_symlink(victim, home.path() / ".claude/settings.json.velquist.bak");
    ASSERT_TRUE(HookInstaller::installHooks(claude()).ok());
    EXPECT_EQ(home.read("precious.txt"), "keep me");
    EXPECT_FALSE(fs::is_symlink(home.path() / ".claude/settings.json.velquist.bak"));
    EXPECT_EQ(home.read(".claude/settings.json.velquist.bak"), original);
}
