#pragma once

#include "Actions/ActionDispatcher.h"
#include "Adapters/OpenCodeAdapter.h"
#include "Core/SessionStore.h"
#include "Core/SilenceRuleStore.h"
#include "support/ManualScheduler.h"
#include "support/WaitUntil.h"
#include "support/base/TemporaryHome.h"

#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <vector>

namespace velquist {

inline void PrintTo(const SessionStatus& status, std::ostream* out)
{
    *out << status.toJson().dump();
}

} // namespace velquist

namespace velquist::test {

// An OpenCode adapter over a fresh store, driven by the manual scheduler. Discovery reports
// whatever the test puts in `servers` (none models an unreadable socket table).
class OpenCodeAdapterFixture : public ::testing::Test
{
  protected:
    OpenCodeAdapterFixture()
    {
        adapter = std::make_unique<OpenCodeAdapter>(
            store, OpenCodeAdapter::Services{clock, clock, dispatcher, nullptr,
                                             folder.path() / "settings.json", [this] {
                                                 ++scans;
                                                 const std::lock_guard lock(serversMutex);
                                                 return servers;
                                             }});
    }

    // A discovery still running on a worker reads this fixture's members.
    ~OpenCodeAdapterFixture() override
    {
        if (adapter)
            waitUntil([&] { return !adapter->isDiscovering(); });
    }

    void setServers(std::optional<std::vector<OpenCodeServer>> found)
    {
        const std::lock_guard lock(serversMutex);
        servers = std::move(found);
    }

    // Feeds one update as if it came from the server at `base` on `api`.
    void feed(OpenCodeUpdate::Value update, OpenCodeApi api = OpenCodeApi::v2,
              const std::string& base = "http://127.0.0.1:4096")
    {
        adapter->apply(OpenCodeUpdate{std::move(update)}, base, 4242, api);
    }

    const Session& session(const std::string& id = "opencode:ses_A") const
    {
        const Session* found = store.session(id);
        EXPECT_TRUE(found) << id;
        static const Session none;
        return found ? *found : none;
    }

    TemporaryFolder folder;
    ManualScheduler clock;
    SilenceRuleStore silence{folder.path() / "silence-rules.json"};
    SessionStore store{clock, clock, folder.path() / "sessions.json", &silence};
    ActionDispatcher dispatcher{clock};
    std::mutex serversMutex;
    std::optional<std::vector<OpenCodeServer>> servers = std::vector<OpenCodeServer>{};
    std::atomic<int> scans{0};
    std::unique_ptr<OpenCodeAdapter> adapter;
};

} // namespace velquist::test
