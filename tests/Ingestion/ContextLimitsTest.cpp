#include "Ingestion/ContextLimits.h"
#include "support/base/TemporaryHome.h"

#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace velquist;

namespace {

void writeSettings(const std::filesystem::path& file, const std::string& text, int mtimeSeconds)
{
    std::ofstream(file) << text;
    const timespec times[2] = {{mtimeSeconds, 0}, {mtimeSeconds, 0}};
    ::utimensat(AT_FDCWD, file.c_str(), times, 0);
}

} // namespace

TEST(ContextLimitsTest, ChoosesTheExtendedWindowFromSettingsOrObservedTokens)
{
    test::TemporaryFolder folder;
    const auto file = folder.path() / "settings.json";
    struct Case
    {
        const char* settings; // nullptr: no file
        std::optional<std::string> model;
        std::int64_t observed;
        std::int64_t limit;
    } cases[] = {
        {R"({"model":"Opus[1m]"})", "claude-OPUS-4", 150000, 1000000},
        {R"({"model":"opus"})", "claude-opus-4", 150000, 200000},
        {R"({"model":"opus[1m]"})", "claude-sonnet-4", 150000, 200000},
        {R"({"model":"opus[1m]"})", std::nullopt, 150000, 200000},
        {nullptr, "claude-opus-4", 200001, 1000000},
        {nullptr, "claude-opus-4", 200000, 200000},
        {R"({"model":"[1m]"})", "claude-opus-4", 10, 200000},
        {R"({"model":"opus[1M]"})", "claude-opus-4", 10, 200000},
        {R"({"model":5})", "claude-opus-4", 10, 200000},
        {R"(not json)", "claude-opus-4", 10, 200000},
        {R"(["opus[1m]"])", "claude-opus-4", 10, 200000},
    };
    int stamp = 1000;
    for (const auto& c : cases) {
        std::filesystem::remove(file);
        if (c.settings)
            writeSettings(file, c.settings, ++stamp);
        ContextLimits limits(file);
        EXPECT_EQ(limits.limit(c.model, c.observed), c.limit) << (c.settings ? c.settings : "(none)");
    }
}

TEST(ContextLimitsTest, RereadsOnlyWhenTheModificationTimeChanges)
{
    test::TemporaryFolder folder;
    const auto file = folder.path() / "settings.json";
    ContextLimits limits(file);
    EXPECT_EQ(limits.limit("opus-4", 10), 200000); // no file yet

    writeSettings(file, R"({"model":"opus[1m]"})", 2000);
    EXPECT_EQ(limits.limit("opus-4", 10), 1000000); // the file appeared

    // Same modification time: the cached model stands.
    writeSettings(file, R"({"model":"sonnet"})", 2000);
    EXPECT_EQ(limits.limit("opus-4", 10), 1000000);

    writeSettings(file, R"({"model":"sonnet"})", 2001);
    EXPECT_EQ(limits.limit("opus-4", 10), 200000);

    writeSettings(file, R"({"model":"sonnet[1m]"})", 2002);
    std::filesystem::remove(file);
    EXPECT_EQ(limits.limit("sonnet-4", 10), 200000); // deleted
}
