#pragma once

#include "Core/AttentionCoordinator.h"
#include "Core/PrivacyGuard.h"
#include "Core/SessionStore.h"
#include "support/DesktopProbes.h"
#include "support/ManualScheduler.h"
#include "support/MemoryDefaults.h"
#include "support/RecordingSoundSink.h"
#include "support/base/TemporaryHome.h"

namespace velquist::test {

// A session store wired to an attention coordinator, with recording doubles for every probe and
// for the sound player, all on a manual clock.
struct AttentionWorld
{
    // The terminal application that shows sessions made by `ask`, and its owner process.
    static constexpr std::int64_t terminalOwner = 4242;
    static constexpr pid_t terminalApp = 777;

    AttentionWorld()
        : silence(folder.path() / "silence-rules.json"),
          store(clock, clock, folder.path() / "sessions.json", &silence), privacy(defaults, mirroring),
          coordinator(store, defaults, clock, clock, {idle, screenLock, frontmost, terminals})
    {
        coordinator.setSound(&sound);
        coordinator.setPrivacy(&privacy);
        QObject::connect(&store, &SessionStore::alertRaised, &coordinator,
                         &AttentionCoordinator::handleAlert);
        terminals.add(terminalOwner, RunningApp{terminalApp, "org.gnome.Terminal", "Terminal", true});
    }

    // A session of `agent` that works and then asks for permission (or, with `question`, an answer).
    void ask(const std::string& id, bool question = false, std::optional<std::int64_t> owner = terminalOwner,
             AgentKind agent = AgentKind::claudeCode)
    {
        if (!store.session(id)) {
            Session session;
            session.id = id;
            session.agent = agent;
            session.cwd = "/home/u/project";
            session.status = SessionStatus::Working{};
            session.terminal.ownerPID = owner;
            startQuietly(session);
        }
        store.update(id, [question](Session& s) {
            if (question)
                s.status = SessionStatus::WaitingForInput{AgentInquiry{}};
            else
                s.status =
                    SessionStatus::NeedsPermission{PermissionRequest{"Bash", "ls", std::nullopt, false}};
        });
    }
    // A new session, without the start sound it makes, which most cases do not look at.
    void startQuietly(const Session& session)
    {
        store.upsert(session);
        if (!sound.played().empty() && sound.played().back() == "start")
            sound.dropLast();
    }
    void setStatus(const std::string& id, SessionStatus status)
    {
        store.update(id, [&](Session& s) { s.status = std::move(status); });
    }

    TemporaryFolder folder;
    ManualScheduler clock;
    MemoryDefaults defaults;
    SilenceRuleStore silence;
    SessionStore store;
    RecordingDisplayMirroring mirroring;
    PrivacyGuard privacy;
    RecordingSystemIdle idle;
    RecordingScreenLock screenLock;
    RecordingFrontmostApplication frontmost;
    RecordingTerminalApps terminals;
    RecordingSoundSink sound;
    AttentionCoordinator coordinator;
};

} // namespace velquist::test
