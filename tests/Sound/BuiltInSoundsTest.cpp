#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <vector>

namespace {

std::vector<unsigned char> slurp(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::uint32_t le32(const std::vector<unsigned char>& bytes, std::size_t at)
{
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | std::uint32_t(bytes[at + 3]) << 24;
}

std::uint16_t le16(const std::vector<unsigned char>& bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

// The sounds the build generated: mono 16-bit PCM, short, loud enough to hear, never clipping, and
// starting and ending in silence so playback does not click.
TEST(BuiltInSoundsTest, GeneratedFilesAreShortCleanPcm)
{
    const std::filesystem::path folder = std::filesystem::path(VELQUIST_BUILD_SHARE_DIR) / "sounds";
    for (const char* name : {"ask", "done", "tap", "welcome"}) {
        SCOPED_TRACE(name);
        const auto bytes = slurp(folder / (std::string(name) + ".wav"));
        ASSERT_GT(bytes.size(), 44u);
        EXPECT_EQ(std::memcmp(bytes.data(), "RIFF", 4), 0);
        EXPECT_EQ(le32(bytes, 4), bytes.size() - 8);
        EXPECT_EQ(std::memcmp(bytes.data() + 8, "WAVEfmt ", 8), 0);
        EXPECT_EQ(le16(bytes, 20), 1);      // PCM
        EXPECT_EQ(le16(bytes, 22), 1);      // mono
        EXPECT_EQ(le32(bytes, 24), 44100u); // rate
        EXPECT_EQ(le16(bytes, 34), 16);     // bits
        EXPECT_EQ(std::memcmp(bytes.data() + 36, "data", 4), 0);
        const std::uint32_t dataBytes = le32(bytes, 40);
        ASSERT_EQ(dataBytes, bytes.size() - 44);

        std::vector<std::int16_t> samples(dataBytes / 2);
        std::memcpy(samples.data(), bytes.data() + 44, dataBytes);
        const double seconds = samples.size() / 44100.0;
        EXPECT_GT(seconds, 0.03);
        EXPECT_LT(seconds, 1.5);
        int peak = 0;
        for (const std::int16_t sample : samples)
            peak = std::max(peak, std::abs(int(sample)));
        EXPECT_GT(peak, 32767 / 8);
        EXPECT_LT(peak, 32767);
        // The first and the last 2 ms are silent or nearly so.
        const std::size_t edge = 88;
        for (std::size_t i = 0; i < edge; ++i) {
            EXPECT_LT(std::abs(int(samples[samples.size() - 1 - i])), 64) << "end " << i;
        }
        EXPECT_EQ(samples.front(), 0);
        EXPECT_LT(std::abs(int(samples[edge / 4])), 4000);
    }
}

} // namespace
