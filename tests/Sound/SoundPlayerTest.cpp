#include "Sound/SoundPlayer.h"
#include "Core/PrivacyGuard.h"
#include "Sound/SoundSettings.h"
#include "support/DesktopProbes.h"
#include "support/ManualScheduler.h"
#include "support/MemoryDefaults.h"
#include "support/RecordingSoundOutput.h"
#include "support/base/TemporaryHome.h"

#include <fstream>
#include <gtest/gtest.h>

using namespace velquist;
namespace fs = std::filesystem;

namespace {

// Public, so the cases' tables can reach the doubles.
class SoundPlayerTest : public ::testing::Test
{
  public:
    SoundPlayerTest()
        : settings(defaults, clock, theme.path()), privacy(defaults, mirroring),
          player(settings, output, builtIns.path())
    {
        for (const char* name : {"ask", "done", "tap", "welcome"})
            std::ofstream(builtIns.path() / (std::string(name) + ".wav")) << "RIFF";
        std::ofstream(theme.path() / "bell.oga") << "OggS";
        player.setPrivacy(&privacy);
    }

    // The files played since the last look, by name without folder.
    std::vector<std::string> takePlayed()
    {
        std::vector<std::string> names;
        for (const auto& played : output.played())
            names.push_back(played.file.filename().string());
        names.erase(names.begin(), names.begin() + static_cast<long>(std::min(m_seen, names.size())));
        m_seen = output.played().size();
        return names;
    }
    void makeQuietNow()
    {
        const std::time_t now = std::chrono::system_clock::to_time_t(clock.now());
        std::tm local{};
        ::localtime_r(&now, &local);
        settings.setQuietStartMinutes(local.tm_hour * 60 + local.tm_min);
        settings.setQuietEndMinutes((local.tm_hour * 60 + local.tm_min + 1) % 1440);
        settings.setQuietHoursEnabled(true);
    }

    test::TemporaryFolder builtIns;
    test::TemporaryFolder theme;
    test::ManualScheduler clock;
    test::MemoryDefaults defaults;
    test::RecordingDisplayMirroring mirroring;
    test::RecordingSoundOutput output;
    SoundSettings settings;
    PrivacyGuard privacy;
    SoundPlayer player;
    std::size_t m_seen = 0;
};

using Names = std::vector<std::string>;

TEST_F(SoundPlayerTest, WhichSwitchesSilenceWhichSounds)
{
    struct Case
    {
        const char* name;
        std::function<void(SoundPlayerTest&)> set;
        bool event;
        bool interface;
    };
    const Case cases[] = {
        {"all on", [](auto&) {}, true, true},
        {"sounds off", [](auto& t) { t.settings.setEnabled(false); }, false, false},
        {"quiet hours", [](auto& t) { t.makeQuietNow(); }, false, false},
        {"privacy", [](auto& t) { t.privacy.setActive(true); }, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        settings.setEnabled(true);
        settings.setQuietHoursEnabled(false);
        privacy.setActive(false);
        c.set(*this);
        takePlayed();
        player.play(SoundEvent::permission);
        EXPECT_EQ(takePlayed(), c.event ? Names{"ask.wav"} : Names{});
        player.play(InterfaceSound::tap);
        player.play(InterfaceSound::welcome);
        EXPECT_EQ(takePlayed(), c.interface ? (Names{"tap.wav", "welcome.wav"}) : Names{});
        player.preview(SoundChoice::builtIn("done"));
        EXPECT_EQ(takePlayed(), Names{"done.wav"});
    }
}

TEST_F(SoundPlayerTest, EventsPlayTheirChoiceOrDefault)
{
    player.play(SoundEvent::start); // off unless chosen
    player.play(SoundEvent::question);
    player.play(SoundEvent::done);
    EXPECT_EQ(takePlayed(), (Names{"ask.wav", "done.wav"}));
    settings.setChoice(SoundChoice::system("bell"), SoundEvent::start);
    settings.setChoice(SoundChoice::off(), SoundEvent::done);
    player.play(SoundEvent::start);
    player.play(SoundEvent::done);
    EXPECT_EQ(takePlayed(), Names{"bell.oga"});
    EXPECT_EQ(output.played().back().file, theme.path() / "bell.oga");
    EXPECT_EQ(output.played().back().channel, "system:bell");
}

TEST_F(SoundPlayerTest, VolumeIsClampedAtPlaybackAndLeftAsStored)
{
    for (const auto& [stored, played] :
         std::vector<std::pair<double, double>>{{1.5, 1.0}, {-0.2, 0.0}, {0.4, 0.4}}) {
        settings.setVolume(stored);
        player.play(SoundEvent::permission);
        EXPECT_DOUBLE_EQ(output.played().back().volume, played);
        EXPECT_DOUBLE_EQ(settings.volume(), stored);
    }
    // One sound keeps one channel, so the output restarts it instead of overlapping it.
    EXPECT_EQ(output.played().front().channel, output.played().back().channel);
}

TEST_F(SoundPlayerTest, AMissingSoundIsSilenceAndIsLookedUpAgain)
{
    const auto bell = SoundChoice::system("bell");
    fs::remove(theme.path() / "bell.oga");
    player.preview(bell);
    fs::remove(builtIns.path() / "tap.wav");
    player.play(InterfaceSound::tap);
    EXPECT_TRUE(takePlayed().empty());
    std::ofstream(theme.path() / "bell.oga") << "OggS";
    player.preview(bell);
    EXPECT_EQ(takePlayed(), Names{"bell.oga"});
}

TEST_F(SoundPlayerTest, NamesOutsideTheCatalogNeverReachAFile)
{
    std::ofstream(theme.path() / "secret.txt") << "x";
    for (const auto& choice : {SoundChoice::builtIn("../" + theme.path().filename().string() + "/bell"),
                               SoundChoice::system("../bell"), SoundChoice::system("secret.txt"),
                               SoundChoice::builtIn("nothing"), SoundChoice::off()})
        EXPECT_EQ(player.resolve(choice), std::nullopt);
}

} // namespace
