#pragma once

#include "Actions/ActionDispatcher.h"
#include "Adapters/HookAdapterTestSupport.h"
#include "Core/SessionStore.h"
#include "support/ManualScheduler.h"
#include "support/RecordingDispatchTargets.h"
#include "support/RecordingFileWatcher.h"
#include "support/base/TemporaryFolder.h"

#include <QThreadPool>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>

namespace velquist {

// Readable statuses in test failures.
inline void PrintTo(const SessionStatus& status, std::ostream* out)
{
    *out << status.toJson().dump();
}

} // namespace velquist

namespace velquist::test {

inline AgentEngine testEngine(AgentKind kind = AgentKind::claudeCode, std::string idNamespace = "claude")
{
    return AgentEngine{kind, idNamespace, AgentMechanism::blockingHook, AgentCapabilities::of(kind),
                       idNamespace};
}

// One adapter over a fresh store in a temporary home folder, driven by the manual scheduler.
class HookAdapterFixture : public ::testing::Test
{
  protected:
    using Traits = EngineProfile::Traits;
    static constexpr Traits kClaudeLike{.forwardsUpdatedPermissions = true};

    HookAdapterFixture() { adapter = makeAdapter(testEngine(), profile); }

    // Replaces the adapter with one whose profile has these traits; the store keeps its sessions.
    void remake(Traits traits)
    {
        adapter.reset();
        adapter = makeAdapter(testEngine(), profile, traits);
    }

    std::unique_ptr<HookAdapter> makeAdapter(AgentEngine engine, FakeProfile*& madeProfile,
                                             Traits traits = kClaudeLike)
    {
        auto owned = std::make_unique<FakeProfile>(traits);
        owned->target = HookInstaller::target(HomePaths(home.path()), *AgentCatalog::find(AgentKind::codex));
        madeProfile = owned.get();
        auto made = std::make_unique<HookAdapter>(
            store, std::move(engine), std::move(owned),
            HookAdapter::Services{clock, clock, watcher, dispatcher, nullptr, &workers});
        made->start();
        return made;
    }

    HookEvent event(HookEvent::Name name, std::string session = "s1") const
    {
        HookEvent made;
        made.name = name;
        made.sessionID = std::move(session);
        made.engine = adapter ? adapter->engine().idNamespace : "claude";
        return made;
    }
    HookEvent toolEvent(HookEvent::Name name, std::string toolName,
                        std::optional<ToolDetail> tool = std::nullopt, std::string session = "s1") const
    {
        HookEvent made = event(name, std::move(session));
        made.toolName = std::move(toolName);
        made.tool = std::move(tool);
        made.activity = made.tool ? std::optional<std::string>(made.tool->title()) : made.toolName;
        return made;
    }

    std::unique_ptr<WaitingClient> waiting(HookEvent made)
    {
        made.name = HookEvent::Name::permissionRequest;
        made.decisionID = "d-" + made.sessionID;
        return std::make_unique<WaitingClient>(std::move(made), hangups);
    }
    // The client's request reaches the adapter.
    std::unique_ptr<WaitingClient> hold(HookEvent made)
    {
        auto client = waiting(std::move(made));
        adapter->receive(client->decision);
        return client;
    }

    const Session& session(const std::string& id = "claude:s1") const
    {
        const Session* found = store.session(id);
        EXPECT_TRUE(found) << id;
        static const Session none;
        return found ? *found : none;
    }

    TemporaryFolder home;
    ManualScheduler clock;
    SessionStore store{clock, clock, home.path() / "sessions.json"};
    test::RecordingTerminalJumper jumper;
    ActionDispatcher dispatcher{clock, {.jumper = &jumper}};
    RecordingFileWatcher watcher;
    std::shared_ptr<HangupWatcher> hangups = std::make_shared<HangupWatcher>();
    FakeProfile* profile = nullptr;
    // The adapters' workers: after the adapter goes, its last reads finish before what they use.
    QThreadPool workers;
    std::unique_ptr<HookAdapter> adapter;
};

} // namespace velquist::test
