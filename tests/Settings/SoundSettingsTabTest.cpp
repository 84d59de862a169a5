#include "Settings/SoundSettingsTab.h"
#include "Sound/SoundPlayer.h"
#include "Sound/SoundSettings.h"
#include "support/ManualScheduler.h"
#include "support/MemoryDefaults.h"
#include "support/RecordingSoundOutput.h"
#include "support/WidgetFinder.h"
#include "support/base/TemporaryFolder.h"

#include "Settings/SettingsSwitch.h"
#include <QDateTime>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <fstream>
#include <gtest/gtest.h>

using namespace velquist;
using namespace velquist::test;
namespace fs = std::filesystem;

namespace {

// A sound tab on in-memory defaults, with built-in and system sound folders of its own and a player
// that records what it plays.
class SoundSettingsTabTest : public ::testing::Test
{
  protected:
    SoundSettingsTabTest()
    {
        fs::create_directories(builtIns());
        fs::create_directories(systemSounds());
        for (const char* name : {"ask", "done", "tap"})
            std::ofstream(builtIns() / (std::string(name) + ".wav")) << "RIFF";
        for (const char* name : {"bell", "message"})
            std::ofstream(systemSounds() / (std::string(name) + ".oga")) << "OggS";
        settings = std::make_unique<SoundSettings>(defaults, clock, systemSounds());
        player = std::make_unique<SoundPlayer>(*settings, output, builtIns());
        tab = std::make_unique<SoundSettingsTab>(settings.get(), player.get());
        tab->resize(480, 600);
        tab->show();
    }

    fs::path builtIns() const { return folder.path() / "sounds"; }
    fs::path systemSounds() const { return folder.path() / "theme"; }
    QComboBox& picker(const char* title) { return *findNamed<QComboBox>(*tab, QString::fromUtf8(title)); }
    QToolButton& preview(const char* event)
    {
        return *tab->findChild<QToolButton*>(QStringLiteral("preview-") + QString::fromUtf8(event));
    }
    SettingsSwitch& toggle(const char* text)
    {
        return *findNamed<SettingsSwitch>(*tab, QString::fromUtf8(text));
    }
    QComboBox& time(const char* label) { return *findNamed<QComboBox>(*tab, QString::fromUtf8(label)); }
    bool shown(const QWidget* widget) const { return widget && widget->isVisibleTo(tab.get()); }
    // The minute of the day the settings' clock reads, in local time as quiet hours count it.
    int minuteNow() const
    {
        const QTime now =
            QDateTime::fromMSecsSinceEpoch(
                std::chrono::duration_cast<std::chrono::milliseconds>(clock.now().time_since_epoch()).count())
                .time();
        return now.hour() * 60 + now.minute();
    }

    TemporaryFolder folder;
    ManualScheduler clock;
    MemoryDefaults defaults;
    RecordingSoundOutput output;
    std::unique_ptr<SoundSettings> settings;
    std::unique_ptr<SoundPlayer> player;
    std::unique_ptr<SoundSettingsTab> tab;
};

TEST(SoundSettingsTabNoticeTest, WithoutSettingsOnlyTheLaunchNoticeShows)
{
    SoundSettingsTab tab(nullptr, nullptr);
    EXPECT_NE(
        findNamed<QLabel>(tab, QStringLiteral("Sounds are available once the app has finished launching.")),
        nullptr);
    EXPECT_TRUE(tab.findChildren<SettingsSwitch*>().isEmpty());
    EXPECT_TRUE(tab.findChildren<QComboBox*>().isEmpty());
}

TEST_F(SoundSettingsTabTest, AFreshInstallShowsTheDefaultsAndShowingWritesNothing)
{
    EXPECT_TRUE(toggle("Play sounds").isChecked());
    EXPECT_EQ(findNamed<QSlider>(*tab, QStringLiteral("Volume"))->value(), 700);
    EXPECT_EQ(picker("Permission needed").currentText(), "Ask");
    EXPECT_EQ(picker("Question asked").currentText(), "Ask");
    EXPECT_EQ(picker("Turn finished").currentText(), "Done");
    EXPECT_EQ(picker("Session started").currentText(), "Off");
    EXPECT_FALSE(preview("start").isEnabled());
    EXPECT_TRUE(preview("permission").isEnabled());
    EXPECT_EQ(rowsOf(picker("Permission needed")),
              QStringList({"Off", "-", "Ask", "Done", "Tap", "-", "bell", "message"}));
    EXPECT_FALSE(toggle("Silence during quiet hours").isChecked());
    EXPECT_FALSE(shown(&time("From hour")));
    EXPECT_EQ(defaults.saveCount(), 0);
    EXPECT_FALSE(defaults.value(SoundSettings::key).has_value());

    toggle("Silence during quiet hours").click();
    EXPECT_TRUE(settings->quietHoursEnabled());
    EXPECT_TRUE(shown(&time("From hour")));
    EXPECT_EQ(time("From hour").currentText(), "23");
    EXPECT_EQ(time("From minute").currentText(), "00");
    EXPECT_EQ(time("Until hour").currentText(), "08");
    EXPECT_EQ(time("Until minute").currentText(), "00");
    EXPECT_EQ(rowsOf(time("Until minute")), QStringList({"00", "15", "30", "45"}));
}

TEST_F(SoundSettingsTabTest, TurningSoundsOffDisablesOnlyTheVolumeAndPreviewStillSounds)
{
    QSlider& volume = *findNamed<QSlider>(*tab, QStringLiteral("Volume"));
    volume.setFocus();
    QTest::keyClick(&volume, Qt::Key_End);
    EXPECT_DOUBLE_EQ(settings->volume(), 1.0);
    EXPECT_TRUE(output.played().empty()) << "moving the volume plays nothing";

    toggle("Play sounds").click();
    EXPECT_FALSE(settings->isEnabled());
    EXPECT_FALSE(volume.isEnabled());
    EXPECT_TRUE(picker("Turn finished").isEnabled());
    ASSERT_TRUE(preview("done").isEnabled());

    QTest::mouseClick(&preview("done"), Qt::LeftButton);
    ASSERT_EQ(output.played().size(), 1u);
    EXPECT_EQ(output.played()[0].file, builtIns() / "done.wav");
    EXPECT_DOUBLE_EQ(output.played()[0].volume, 1.0);
}

TEST_F(SoundSettingsTabTest, ChoosingASoundStoresItAndPreviewPlaysIt)
{
    choose(picker("Permission needed"), QStringLiteral("Off"));
    EXPECT_EQ(settings->choice(SoundEvent::permission), SoundChoice::off());
    EXPECT_FALSE(preview("permission").isEnabled());

    choose(picker("Permission needed"), QStringLiteral("bell"));
    EXPECT_EQ(settings->choice(SoundEvent::permission), SoundChoice::system("bell"));
    ASSERT_TRUE(preview("permission").isEnabled());
    QTest::mouseClick(&preview("permission"), Qt::LeftButton);
    ASSERT_EQ(output.played().size(), 1u);
    EXPECT_EQ(output.played()[0].file, systemSounds() / "bell.oga");

    // Choosing the default still stores it, as an explicit entry.
    choose(picker("Turn finished"), QStringLiteral("Done"));
    EXPECT_EQ(settings->choices().count(SoundEvent::done), 1u);
}

TEST_F(SoundSettingsTabTest, AChoiceTheListCannotOfferSelectsNoRowAndIsKept)
{
    settings->setChoice(SoundChoice::system("removed"), SoundEvent::question);
    EXPECT_EQ(picker("Question asked").currentIndex(), -1);
    QTest::mouseClick(&preview("question"), Qt::LeftButton);
    EXPECT_TRUE(output.played().empty());
    EXPECT_EQ(settings->choice(SoundEvent::question), SoundChoice::system("removed"));
}

TEST_F(SoundSettingsTabTest, TheTimePickersKeepTheOtherHalfOfTheTime)
{
    toggle("Silence during quiet hours").click();
    struct Case
    {
        const char* picker;
        int storedStart;
        int storedEnd;
        QString choice;
        int expectedStart;
        int expectedEnd;
        const char* minutePicker;
        QString shownMinute; // empty: no minute row selected
    };
    const Case cases[] = {
        {"Until hour", 1380, 510, "07", 1380, 450, "Until minute", "30"},
        {"From minute", 1380, 480, "45", 1425, 480, "From minute", "45"},
        // A time off the quarter hours shows no minute and keeps it when the hour changes.
        {"From hour", 1385, 480, "22", 1325, 480, "From minute", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.picker);
        settings->setQuietStartMinutes(c.storedStart);
        settings->setQuietEndMinutes(c.storedEnd);
        choose(time(c.picker), c.choice);
        EXPECT_EQ(settings->quietStartMinutes(), c.expectedStart);
        EXPECT_EQ(settings->quietEndMinutes(), c.expectedEnd);
        EXPECT_EQ(time(c.minutePicker).currentText(), c.shownMinute);
    }
}

TEST_F(SoundSettingsTabTest, TheMoonLineShowsOnlyInsideTheQuietPeriod)
{
    const QString moon = QStringLiteral("Quiet hours are active - sounds are muted");
    toggle("Silence during quiet hours").click();
    const int now = minuteNow();
    settings->setQuietStartMinutes((now + 1440 - 60) % 1440);
    settings->setQuietEndMinutes((now + 60) % 1440);
    EXPECT_TRUE(shown(findNamed<QWidget>(*tab, moon)));

    settings->setQuietEndMinutes(settings->quietStartMinutes());
    EXPECT_FALSE(shown(findNamed<QWidget>(*tab, moon))) << "an empty period is never quiet";

    settings->setQuietEndMinutes((now + 60) % 1440);
    toggle("Silence during quiet hours").click();
    EXPECT_FALSE(shown(findNamed<QWidget>(*tab, moon)));
    EXPECT_FALSE(shown(&time("From hour")));
}

TEST_F(SoundSettingsTabTest, AnOutsideChangeMovesTheControlsWithoutWritingBack)
{
    settings->setVolume(0.25);
    settings->setEnabled(false);
    const int saves = defaults.saveCount();
    EXPECT_EQ(findNamed<QSlider>(*tab, QStringLiteral("Volume"))->value(), 250);
    EXPECT_FALSE(toggle("Play sounds").isChecked());
    EXPECT_EQ(defaults.saveCount(), saves);
}

} // namespace
