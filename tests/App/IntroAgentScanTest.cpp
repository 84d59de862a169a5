#include "App/IntroAgentScan.h"

#include "support/MemoryDefaults.h"
#include "support/base/TemporaryFolder.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using namespace velquist;

TEST(IntroAgentScan, NamesWhatExistsInOrderAndHookedOnlyWhereHooked)
{
    struct Case
    {
        const char* what;
        std::vector<std::string> folders; // under the home folder
        std::vector<std::string> files;
        std::vector<FoundAgent> found;
    };
    const Case cases[] = {
        {"nothing", {}, {}, {}},
        {"codex only", {".codex"}, {}, {{"Codex", true}}},
        {"claude and cursor", {".cursor", ".claude"}, {}, {{"Claude Code", true}, {"Cursor", true}}},
        {"a file named like the folder counts", {}, {".gemini"}, {{"Gemini", false}}},
        {"all six",
         {".claude", ".codex", ".cursor", ".gemini", ".qwen", ".config/opencode"},
         {},
         {{"Claude Code", true},
          {"Codex", true},
          {"Cursor", true},
          {"Gemini", false},
          {"Qwen", true},
          {"opencode", true}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TemporaryFolder home;
        for (const auto& folder : c.folders)
            std::filesystem::create_directories(home.path() / folder);
        for (const auto& file : c.files)
            std::ofstream(home.path() / file) << "x";
        // Gemini's hooks are the ones missing here.
        IntroAgentScan::Probes probes;
        probes.hooked = [](const AgentEntry& agent) { return agent.idNamespace != "gemini"; };
        EXPECT_EQ(IntroAgentScan::find(HomePaths(home.path()), probes), c.found);
    }
}

TEST(IntroAgentScan, AFolderWeMadeOurselvesIsNoSignOfTheAgent)
{
    test::TemporaryFolder home;
    const HomePaths paths(home.path());
    std::filesystem::create_directories(home.path() / ".codex");
    test::MemoryDefaults defaults;
    IntroAgentScan::recordFoldersBeforeFirstLaunch(paths, defaults);
    EXPECT_EQ(defaults.value(IntroAgentScan::kFoldersBeforeFirstLaunchKey), nlohmann::json({"codex"}));
    // The launch then creates Claude Code's folder to install its hooks.
    std::filesystem::create_directories(home.path() / ".claude");
    std::ofstream(home.path() / ".claude/settings.json") << "{}";
    IntroAgentScan::recordFoldersBeforeFirstLaunch(paths, defaults); // a later launch keeps the record
    EXPECT_EQ(defaults.value(IntroAgentScan::kFoldersBeforeFirstLaunchKey), nlohmann::json({"codex"}));

    std::vector<std::string> names;
    for (const FoundAgent& agent : IntroAgentScan::find(paths, defaults))
        names.push_back(agent.name);
    EXPECT_EQ(names, std::vector<std::string>{"Codex"});

    // Its program on the PATH names an agent whatever its folder says.
    IntroAgentScan::Probes probes;
    probes.foldersBefore = std::vector<std::string>{"codex"};
    probes.onPath = [](std::string_view program) { return program == "claude" || program == "opencode"; };
    names.clear();
    for (const FoundAgent& agent : IntroAgentScan::find(paths, probes))
        names.push_back(agent.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Claude Code", "Codex", "opencode"}));
}

TEST(IntroAgentScan, ThePathIsSearchedForAnExecutableFile)
{
    test::TemporaryFolder bin;
    std::filesystem::create_directories(bin.path() / "a" / "claude"); // a folder is no program
    std::filesystem::create_directories(bin.path() / "b");
    std::ofstream(bin.path() / "b/codex") << "#!/bin/sh\n";
    std::ofstream(bin.path() / "b/gemini") << "#!/bin/sh\n";
    std::filesystem::permissions(bin.path() / "b/codex", std::filesystem::perms::owner_all);
    const std::string path = ":" + (bin.path() / "a").string() + "::" + (bin.path() / "b").string();
    EXPECT_FALSE(IntroAgentScan::isOnPath("claude", path.c_str()));
    EXPECT_TRUE(IntroAgentScan::isOnPath("codex", path.c_str()));
    EXPECT_FALSE(IntroAgentScan::isOnPath("gemini", path.c_str())) << "not executable";
    EXPECT_FALSE(IntroAgentScan::isOnPath("codex", nullptr));
}
