#include "Shared/AgentConfigEditor.h"
#include "Shared/HookCleanup.h"
#include "support/base/TemporaryFolder.h"

#include <gtest/gtest.h>

using namespace velquist;
using nlohmann::ordered_json;
namespace fs = std::filesystem;

namespace {

ordered_json parse(const std::string& text)
{
    return ordered_json::parse(text);
}

// The user's Claude Code settings with one of our hook entries, edited by stripping it.
class AgentConfigEditorTest : public ::testing::Test
{
  protected:
    std::string ourGroup() const
    {
        return R"({"matcher":"","hooks":[{"type":"command","command":"')" +
               HomePaths(m_home.path()).installedHelper().string() + R"(' --engine x","timeout":86400}]})";
    }
    AgentConfigFile claudeSettings() const
    {
        const fs::path file = m_home.path() / ".claude/settings.json";
        return {file, AgentConfigEditor::backupOf(file)};
    }
    test::TemporaryFolder m_home;
};

} // namespace

TEST_F(AgentConfigEditorTest, NoBackupMeansNoRewrite)
{
    const std::string settings = R"({"hooks":{"Stop":[)" + ourGroup() + "]}}";
    m_home.write(".claude/settings.json", settings);
    // A folder where the backup would go: it cannot be written.
    fs::create_directories(m_home.path() / ".claude/settings.json.velquist.bak/x");

    const auto edit = AgentConfigEditor::edit(claudeSettings(), HookCleanup::strip);
    EXPECT_EQ(edit.status, AgentConfigEdit::Status::failed);
    EXPECT_EQ(m_home.read(".claude/settings.json"), settings);
}

TEST_F(AgentConfigEditorTest, AnEditMadeByTheAgentMeanwhileIsNotOverwritten)
{
    const std::string before = R"({"hooks":{"Stop":[)" + ourGroup() + "]}}";
    const std::string agentSaved = R"({"model":"new","hooks":{"Stop":[)" + ourGroup() + "]}}";
    m_home.write(".claude/settings.json", before);
    int calls = 0;
    const auto edit = AgentConfigEditor::edit(claudeSettings(), [&](ordered_json& settings) {
        if (++calls == 1)
            m_home.write(".claude/settings.json", agentSaved);
        return HookCleanup::strip(settings);
    });
    EXPECT_EQ(edit.status, AgentConfigEdit::Status::rewritten);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(parse(m_home.read(".claude/settings.json")), parse(R"({"model":"new"})"));
    EXPECT_EQ(m_home.read(".claude/settings.json.velquist.bak"), agentSaved);
}
