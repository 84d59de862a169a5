#pragma once

#include "Core/SessionCardList.h"
#include "Core/SessionStore.h"
#include "Core/SilenceRuleStore.h"
#include "support/ManualScheduler.h"
#include "support/base/TemporaryFolder.h"

#include <QUuid>
#include <string>

namespace velquist::test {

// A session store that saves nothing, its silence rules and the card list of the panel's list,
// on a manual clock: working sessions are added in bulk and folders hidden by prefix.
struct ListedSessions
{
    ListedSessions()
        : silence(folder.path() / "silence-rules.json"),
          store(clock, clock, folder.path() / "sessions.json", &silence)
    {
        store.disablePersistence();
    }

    // `count` working sessions in `cwd`; returns the id of the last.
    std::string add(int count, const std::string& cwd = "/work/project")
    {
        std::string id;
        for (int index = 0; index < count; ++index) {
            Session session;
            session.id = id = "claude:" + cwd + std::to_string(next++);
            session.cwd = cwd;
            session.status = SessionStatus::Working{};
            store.upsert(session);
        }
        return id;
    }

    // Hides every session whose folder starts with `pattern`.
    void hide(const std::string& pattern)
    {
        SilenceRule rule;
        rule.id = QUuid::createUuid();
        rule.pattern = pattern;
        rule.match = SilenceRule::Match::prefix;
        silence.add(rule);
    }

    TemporaryFolder folder;
    ManualScheduler clock;
    SilenceRuleStore silence;
    SessionStore store;
    SessionCardList cards{store};
    int next = 0;
};

} // namespace velquist::test
