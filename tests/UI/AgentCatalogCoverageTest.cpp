#include "Adapters/AgentEngine.h"
#include "Adapters/EngineProfile.h"
#include "Core/Session.h"
#include "Core/SessionStore.h"
#include "Ingestion/HookEvent.h"
#include "Shared/AgentCatalog.h"
#include "UI/AgentIcon.h"
#include "UI/BrandGlyph.h"
#include "support/MemoryDefaults.h"
#include "support/base/TemporaryFolder.h"

#include <gtest/gtest.h>
#include <set>
#include <string>

using namespace velquist;

// A catalogued agent is one row plus its profile, its parsers and its mark; everything else
// (installer, engines at start-up, session ids) follows from the row. A row whose other parts are
// missing would start without hooks, lose its sessions' ids or draw the unknown mark.
TEST(AgentCatalogCoverageTest, EveryAgentHasItsRowProfileParserAndMark)
{
    const test::TemporaryFolder home;
    const HomePaths paths(home.path());
    test::MemoryDefaults defaults;
    std::set<AgentKind> kinds;
    std::set<QString> marks;
    for (const AgentEntry& agent : AgentCatalog::all()) {
        SCOPED_TRACE(std::string(agent.idNamespace));

        // The row: one kind per agent, found by its kind.
        EXPECT_TRUE(kinds.insert(agent.kind).second) << "kind used twice";
        EXPECT_NE(agent.kind, AgentKind::detected);
        EXPECT_EQ(AgentCatalog::find(agent.kind), &agent);
        EXPECT_FALSE(agent.program.empty());

        // The profile, installing into the row's file under the row's namespace.
        const std::unique_ptr<const EngineProfile> profile = EngineProfile::forAgent(agent, paths, defaults);
        ASSERT_NE(profile, nullptr);
        EXPECT_EQ(profile->installTarget().engineNamespace, agent.idNamespace);
        EXPECT_EQ(profile->installTarget().configURL, agent.configPath(paths.home()));
        EXPECT_EQ(AgentEngine::of(agent).kind, agent.kind);

        // The parsers: every hooked event reads as a hook event, one of them as the permission
        // request the panel answers, and the transcript has a line parser.
        bool asks = false;
        for (const std::string_view event : agent.hookedEvents) {
            const auto name = HookEvent::canonical(agent.idNamespace, event);
            EXPECT_TRUE(name.has_value()) << event;
            asks = asks || name == HookEvent::Name::permissionRequest;
        }
        EXPECT_TRUE(asks);
        EXPECT_TRUE(static_cast<bool>(profile->transcriptLineParser()));

        // Session ids: an agent's bare id gets its namespace, a namespaced one is kept.
        Session session;
        session.agent = agent.kind;
        session.id = "abc";
        const std::string namespaced = std::string(agent.idNamespace) + ":abc";
        EXPECT_EQ(SessionStore::namespacedID(session), namespaced);
        session.id = namespaced;
        EXPECT_EQ(SessionStore::namespacedID(session), namespaced);

        // The mark: one of its own, not the unknown agent's.
        const AgentIconStyle style = iconStyle(agent.kind);
        EXPECT_TRUE(BrandGlyph::exists(style.asset)) << style.asset.toStdString();
        EXPECT_NE(style, iconStyle(AgentKind::detected));
        EXPECT_TRUE(marks.insert(style.asset).second) << "mark used twice";
    }

    // Every kind but OpenCode (its own server) and the detected agents has its row: without one it
    // would never be hooked and the panel would offer its sessions nothing but the jump.
    for (const AgentKind kind : kAllAgentKinds) {
        if (kind != AgentKind::opencode && kind != AgentKind::detected) {
            EXPECT_TRUE(kinds.contains(kind)) << toString(kind) << " has no row";
        }
    }
}
