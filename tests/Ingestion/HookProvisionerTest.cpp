#include "Ingestion/HookProvisioner.h"
#include "support/MemoryDefaults.h"
#include "support/base/TemporaryFolder.h"

#include <gtest/gtest.h>

using namespace velquist;
namespace fs = std::filesystem;

class HookProvisionerTest : public ::testing::Test
{
  protected:
    HookProvisionerTest() { fs::permissions(home.write("build/quorvel", "#!/bin/sh\n"), fs::perms(0755)); }
    fs::path helper() const { return home.path() / "build/quorvel"; }
    std::vector<std::string> engines() const
    {
        std::vector<std::string> names;
        for (const HookInstallTarget& target : HookProvisioner::installedTargets(paths, defaults))
            names.push_back(target.engineNamespace);
        return names;
    }

    test::TemporaryFolder home;
    const HomePaths paths{home.path()};
    test::MemoryDefaults defaults;
};

TEST_F(HookProvisionerTest, AgentsCountAsInstalledByTheirFolder)
{
    EXPECT_EQ(engines(), std::vector<std::string>{"claude"});
    fs::create_directories(home.path() / ".qwen");
    fs::create_directories(home.path() / ".codex");
    home.write(".gemini", "a file is enough");
    EXPECT_EQ(engines(), (std::vector<std::string>{"claude", "codex", "gemini", "qwen"}));

    std::vector<fs::path> asked;
    HookProvisioner::installedTargets(paths, defaults, [&](const fs::path& path) {
        asked.push_back(path);
        return false;
    });
    EXPECT_EQ(asked, (std::vector<fs::path>{home.path() / ".codex", home.path() / ".cursor",
                                            home.path() / ".gemini", home.path() / ".qwen"}));
}

TEST_F(HookProvisionerTest, CreatesFilesOfInstalledAgents)
{
    fs::create_directories(home.path() / ".gemini");
    EXPECT_TRUE(HookProvisioner::apply(paths, defaults, HookProvisioner::pathExists, helper()).empty());
    EXPECT_TRUE(fs::is_regular_file(paths.installedHelper()));
    EXPECT_TRUE(HookInstaller::hooksInstalled(HookInstaller::claudeTarget(paths, defaults)));
    EXPECT_TRUE(
        HookInstaller::hooksInstalled(HookInstaller::target(paths, *AgentCatalog::find(AgentKind::gemini))));
    EXPECT_FALSE(fs::exists(HookInstaller::target(paths, *AgentCatalog::find(AgentKind::codex)).configURL));
}

TEST_F(HookProvisionerTest, FailingAgentDoesNotStopTheOthers)
{
    for (const char* folder : {".codex", ".cursor", ".gemini", ".qwen"})
        fs::create_directories(home.path() / folder);
    home.write(".codex/hooks.json", "[\"not an object\"]");
    home.write(".gemini/settings.json", "{broken");

    const std::vector<std::string> failures =
        HookProvisioner::apply(paths, defaults, HookProvisioner::pathExists, helper());
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_EQ(failures[0],
              (home.path() / ".codex/hooks.json").string() + " is not a JSON object; refusing to modify it.");
    EXPECT_EQ(home.read(".codex/hooks.json"), "[\"not an object\"]");
    EXPECT_EQ(home.read(".gemini/settings.json"), "{broken");
    EXPECT_TRUE(HookInstaller::hooksInstalled(HookInstaller::claudeTarget(paths, defaults)));
    EXPECT_TRUE(
        HookInstaller::hooksInstalled(HookInstaller::target(paths, *AgentCatalog::find(AgentKind::cursor))));
    EXPECT_TRUE(
        HookInstaller::hooksInstalled(HookInstaller::target(paths, *AgentCatalog::find(AgentKind::qwen))));
}

TEST_F(HookProvisionerTest, NoHooksWithoutTheHookClient)
{
    home.write(".local/share/Velquist/bin", "a file where the folder should be");
    const std::vector<std::string> failures =
        HookProvisioner::apply(paths, defaults, HookProvisioner::pathExists, helper());
    EXPECT_EQ(failures.size(), 1u);
    EXPECT_FALSE(fs::exists(home.path() / ".claude"));
}

TEST_F(HookProvisionerTest, LaunchRemovesTemporariesOfKilledWritersAndNothingElse)
{
    const fs::path ours[] = {
        home.write(".claude/.settings.json.velquist.bak.tmp-Q1w2E3", "half a backup"),
        home.write(".claude/.settings.json.tmp-Zz9Yy8", "half a settings file"),
    };
    const fs::path users[] = {
        home.write(".claude/.settings.json.velquist.bak.tmp-mine.txt", "mine"),
        home.write(".claude/.settings.json.tmp-notes", "mine too"),
        home.write(".claude/.other.json.tmp-Q1w2E3", "another file's"),
    };
    EXPECT_TRUE(HookProvisioner::apply(paths, defaults, HookProvisioner::pathExists, helper()).empty());
    for (const fs::path& path : ours)
        EXPECT_FALSE(fs::exists(path)) << path;
    for (const fs::path& path : users)
        EXPECT_TRUE(fs::exists(path)) << path;
}
