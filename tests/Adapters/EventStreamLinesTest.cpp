#include "Adapters/EventStreamLines.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

using namespace velquist;

namespace {

struct LinesCase
{
    const char* name;
    std::vector<std::string> chunks;
    std::vector<std::string> lines;
    std::size_t dropped = 0;
};

std::vector<std::string> collect(EventStreamLines& reader, const std::vector<std::string>& chunks)
{
    std::vector<std::string> lines;
    for (const auto& chunk : chunks)
        reader.feed(chunk, [&](std::string_view line) {
            lines.emplace_back(line);
            return true;
        });
    return lines;
}

TEST(EventStreamLinesTest, CutsChunksIntoLines)
{
    // The bound is 8 bytes in these cases.
    const LinesCase cases[] = {
        {"one chunk", {"a\nbb\n\n"}, {"a", "bb", ""}},
        {"line split over chunks", {"da", "ta:", "1\nx"}, {"data:1"}},
        {"CR LF endings", {"a\r\nb\r", "\n"}, {"a", "b"}},
        {"a line of exactly the bound", {"12345678\n"}, {"12345678"}},
        {"the bound with its CR LF", {"12345678\r\n"}, {"12345678"}},
        {"a longer line is dropped and the next kept", {"123456789\nok\n"}, {"ok"}, 1},
        {"an over-long line over many chunks", {"12345", "6789", "abcdef", "gh\nok\n"}, {"ok"}, 1},
        {"two over-long lines", {"123456789\n", "abcdefghi\nz\n"}, {"z"}, 2},
        {"no line end yet", {"abc"}, {}},
    };
    for (const auto& c : cases) {
        EventStreamLines reader(8);
        EXPECT_EQ(collect(reader, c.chunks), c.lines) << c.name;
        EXPECT_EQ(reader.droppedLines(), c.dropped) << c.name;
        EXPECT_LE(reader.pendingBytes(), 8u) << c.name;
    }
}

TEST(EventStreamLinesTest, NeverHoldsMoreThanTheBound)
{
    EventStreamLines reader(1024);
    const std::string chunk(4096, 'x');
    for (int i = 0; i < 100; ++i) {
        EXPECT_TRUE(collect(reader, {chunk}).empty());
        EXPECT_LE(reader.pendingBytes(), 1024u);
    }
    EXPECT_EQ(collect(reader, {"\ndata: {}\n"}), std::vector<std::string>{"data: {}"});
    EXPECT_EQ(reader.droppedLines(), 1u);
}

TEST(EventStreamLinesTest, StopsWhenTheReceiverSaysSo)
{
    EventStreamLines reader(64);
    std::vector<std::string> seen;
    reader.feed("a\nb\nc\n", [&](std::string_view line) {
        seen.emplace_back(line);
        return false;
    });
    EXPECT_EQ(seen, std::vector<std::string>{"a"});
}

TEST(EventStreamLinesTest, ResetForgetsAPartialLine)
{
    EventStreamLines reader(64);
    collect(reader, {"data: {\"half"});
    reader.reset();
    EXPECT_EQ(collect(reader, {"data: {}\n"}), std::vector<std::string>{"data: {}"});
}

TEST(EventStreamLinesTest, DataPayload)
{
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"data: {\"a\":1}", "{\"a\":1}"}, {"data:{}", "{}"},
        {"data: \t {} \t", "{}"},         {"data:    ", std::nullopt},
        {"data:", std::nullopt},          {": heartbeat", std::nullopt},
        {"event: message", std::nullopt}, {"id: 7", std::nullopt},
        {"retry: 100", std::nullopt},     {"", std::nullopt},
        {" data: {}", std::nullopt},
    };
    for (const auto& [line, expected] : cases) {
        const auto payload = EventStreamLines::dataPayload(line);
        EXPECT_EQ(payload ? std::optional<std::string>(*payload) : std::nullopt, expected) << line;
    }
}

} // namespace
