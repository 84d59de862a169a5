#include "App/IntroAgentScan.h"

#include "support/base/TemporaryHome.h"

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
        const auto found = IntroAgentScan::find(
            HomePaths(home.path()), [](const AgentEntry& agent) { return agent.idNamespace != "gemini"; });
        EXPECT_EQ(found, c.found);
    }
}
