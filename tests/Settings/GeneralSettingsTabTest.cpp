#include "Settings/GeneralSettingsTab.h"
#include "Platform/ScreenProvider.h"
#include "Settings/DisplaySettingsSection.h"
#include "Settings/OpeningSettingsSection.h"
#include "Settings/SettingsSwitch.h"
#include "Windows/DisplayIdentity.h"
#include "support/MemoryDefaults.h"
#include "support/RecordingLoginItem.h"
#include "support/RecordingScreenProvider.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace velquist {
namespace {

ScreenInfo screen(const QString& connector, const QString& maker, const QString& model, const QString& serial)
{
    ScreenInfo info;
    info.connector = connector;
    info.manufacturer = maker;
    info.model = model;
    info.serialNumber = serial;
    info.geometry = QRect(0, 0, 1920, 1080);
    return info;
}

QString displayTag(const ScreenInfo& info)
{
    return "display:" +
           QString::fromStdString(*DisplayIdentity::id(
               {info.connector, info.manufacturer, info.model, info.serialNumber, info.geometry}));
}

NotchCharacter pack(const std::string& id, const std::string& name)
{
    NotchCharacter character;
    character.id = id;
    character.manifest.name = name;
    return character;
}

// Clicks a switch on its toggle, as a user does.
void flip(SettingsSwitch& toggle)
{
    QTest::mouseClick(&toggle, Qt::LeftButton, {}, QPoint(toggle.width() - 10, toggle.height() / 2));
}

// Chooses the row of a picker with this text, as a user does.
void choose(QComboBox& picker, const QString& text)
{
    const int index = picker.findText(text);
    ASSERT_GE(index, 0) << text.toStdString();
    picker.setCurrentIndex(index);
    Q_EMIT picker.activated(index);
}

QStringList rows(const QComboBox& picker)
{
    QStringList texts;
    for (int i = 0; i < picker.count(); ++i)
        texts << picker.itemText(i);
    return texts;
}

class GeneralSettingsTabTest : public ::testing::Test
{
  protected:
    std::unique_ptr<GeneralSettingsTab> makeTab()
    {
        auto tab = std::make_unique<GeneralSettingsTab>(
            GeneralSettingsTab::Services{defaults, loginItem, screens, characters, [this] { ++removals; }});
        tab->resize(480, 900);
        tab->show();
        return tab;
    }

    test::MemoryDefaults defaults;
    test::RecordingLoginItem loginItem;
    test::RecordingScreenProvider screens;
    std::vector<NotchCharacter> characters{pack("velq", "Velq"), pack("zed", "Zed")};
    int removals = 0;
};

TEST_F(GeneralSettingsTabTest, ShowingTheTabStoresOnlyTheFirstPackAndShowsTheDefaults)
{
    screens.attached = {screen("HDMI-1", "DEL", "U2720Q", "1")};
    const auto tab = makeTab();
    // A first visit stores the first pack explicitly, and nothing else.
    EXPECT_EQ(defaults.snapshot(), nlohmann::json({{"selectedCharacterId", "velq"}}));

    EXPECT_FALSE(tab->loginSwitch().isChecked());
    EXPECT_EQ(tab->displaySection().placementPicker().currentText(), "All displays");
    EXPECT_FALSE(tab->displaySection().fullScreenSwitch().isChecked());
    EXPECT_FALSE(tab->displaySection().idleSwitch().isChecked());
    EXPECT_EQ(tab->openingSection().triggerPicker().currentText(), "When I hover it");
    EXPECT_TRUE(tab->openingSection().attentionSwitch().isChecked());
    EXPECT_FALSE(tab->openingSection().clickNote().isVisibleTo(tab.get()));
    EXPECT_FALSE(tab->openingSection().attentionNote().isVisibleTo(tab.get()));
    EXPECT_EQ(tab->characterPicker().currentText(), "Velq");
    EXPECT_EQ(rows(tab->characterPicker()), (QStringList{"None", "Usage", "Velq", "Zed"}));
    EXPECT_FALSE(tab->usageNote().isVisibleTo(tab.get()));
    EXPECT_TRUE(loginItem.calls.empty());
}

TEST_F(GeneralSettingsTabTest, LoginSwitchFollowsTheLoginItemAndSaysWhyItFailed)
{
    struct Case
    {
        const char* name;
        bool initially;
        std::string failure;
        std::vector<std::string> calls;
        bool checkedAfter;
    };
    const Case cases[] = {
        {"turn on", false, "", {"enable"}, true},
        {"turn off", true, "", {"disable"}, false},
        {"read-only autostart folder",
         false,
         "could not write velquist.desktop: Read-only file system",
         {"enable"},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        loginItem.calls.clear();
        loginItem.failure.clear();
        loginItem.setEnabled(c.initially);
        const auto tab = makeTab();
        const int saves = defaults.saveCount();
        EXPECT_EQ(tab->loginSwitch().isChecked(), c.initially);
        loginItem.failure = c.failure;
        flip(tab->loginSwitch());
        EXPECT_EQ(loginItem.calls, c.calls);
        EXPECT_EQ(tab->loginSwitch().isChecked(), c.checkedAfter);
        EXPECT_EQ(tab->loginError().isVisibleTo(tab.get()), !c.failure.empty());
        if (!c.failure.empty()) {
            EXPECT_TRUE(tab->loginError().text().contains(QString::fromStdString(c.failure)));
        }
        EXPECT_EQ(defaults.saveCount(), saves) << "the login item is its own record";
    }
}

TEST_F(GeneralSettingsTabTest, ScreenRowsForEachStoredPlacement)
{
    const ScreenInfo left = screen("DP-1", "DEL", "U2720Q", "A1");
    const ScreenInfo right = screen("DP-2", "DEL", "U2720Q", "B2");
    const ScreenInfo nameless = screen("", "", "", "");
    const ScreenInfo laptop = screen("eDP-1", "", "", "");
    using Option = DisplaySettingsSection::ScreenOption;
    struct Case
    {
        const char* name;
        std::optional<std::string> stored;
        std::vector<Option> expected;
    };
    const Case cases[] = {
        {"nothing stored",
         std::nullopt,
         {{displayTag(left), "DEL U2720Q", true}, {displayTag(right), "DEL U2720Q", true}}},
        {"last clicked",
         "lastClicked",
         {{displayTag(left), "DEL U2720Q", true}, {displayTag(right), "DEL U2720Q", true}}},
        {"attached screen",
         displayTag(right).toStdString(),
         {{displayTag(left), "DEL U2720Q", true}, {displayTag(right), "DEL U2720Q", true}}},
        {"screen not connected",
         "display:0000-GONE",
         {{displayTag(left), "DEL U2720Q", true},
          {displayTag(right), "DEL U2720Q", true},
          {"display:0000-GONE", "Display", false}}},
        {"built-in of earlier versions",
         "builtInOnly",
         {{displayTag(left), "DEL U2720Q", true},
          {displayTag(right), "DEL U2720Q", true},
          {"builtInOnly", "Built-in display", false}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DisplaySettingsSection::screenOptions({left, nameless, right}, c.stored), c.expected);
    }
    EXPECT_EQ(DisplaySettingsSection::screenOptions({laptop}, std::nullopt),
              (std::vector<Option>{{displayTag(laptop), "eDP-1", true}}))
        << "a screen without a maker's name goes by its connector";
}

TEST_F(GeneralSettingsTabTest, PlacementPickerShowsAndWritesTheStoredChoice)
{
    const ScreenInfo external = screen("DP-1", "DEL", "U2720Q", "A1");
    screens.attached = {external};
    defaults.setValue("displayMode", "display:0000-GONE");
    auto tab = makeTab();
    QComboBox& picker = tab->displaySection().placementPicker();
    EXPECT_EQ(rows(picker), (QStringList{"All displays", "Wherever I last clicked", "", "DEL U2720Q",
                                         "Display (not connected)"}));
    EXPECT_EQ(picker.currentText(), "Display (not connected)");

    choose(picker, "DEL U2720Q");
    EXPECT_EQ(defaults.stringValue("displayMode"), displayTag(external).toStdString());
    choose(picker, "All displays");
    EXPECT_EQ(defaults.stringValue("displayMode"), "allDisplays");
    EXPECT_EQ(picker.count(), 5) << "the disconnected row stays until the screens are read again";

    // Reconnecting replaces the row by the screen's own.
    const ScreenInfo again = screen("DP-2", "ACME", "Wide", "9");
    defaults.setValue("displayMode", displayTag(again).toStdString());
    tab = makeTab();
    EXPECT_EQ(tab->displaySection().placementPicker().currentText(), "Display (not connected)");
    screens.attached = {external, again};
    tab->displaySection().reloadScreens();
    EXPECT_EQ(tab->displaySection().placementPicker().currentText(), "ACME Wide");
    EXPECT_EQ(tab->displaySection().placementPicker().count(), 5);

    defaults.setValue("displayMode", "somethingElse");
    EXPECT_EQ(tab->displaySection().placementPicker().currentIndex(), -1)
        << "an unknown value selects no row";
}

TEST_F(GeneralSettingsTabTest, SwitchesAndPickersWriteTheirSettingsAndShowTheirNotes)
{
    const auto tab = makeTab();
    flip(tab->displaySection().fullScreenSwitch());
    flip(tab->displaySection().idleSwitch());
    EXPECT_EQ(defaults.boolValue("hidesOverFullScreen"), true);
    EXPECT_EQ(defaults.boolValue("hidesWhenIdle"), true);
    flip(tab->displaySection().idleSwitch());
    EXPECT_EQ(defaults.boolValue("hidesWhenIdle"), false);

    OpeningSettingsSection& opening = tab->openingSection();
    choose(opening.triggerPicker(), "When I click it");
    EXPECT_EQ(defaults.stringValue("expandTrigger"), "click");
    EXPECT_TRUE(opening.clickNote().isVisibleTo(tab.get()));
    EXPECT_EQ(opening.clickNote().text(), "Opens on a click; closes when the pointer leaves.");
    choose(opening.triggerPicker(), "When I hover it");
    EXPECT_EQ(defaults.stringValue("expandTrigger"), "hover");
    EXPECT_FALSE(opening.clickNote().isVisibleTo(tab.get()));

    flip(opening.attentionSwitch());
    EXPECT_EQ(defaults.boolValue("opensOnAttention"), false);
    EXPECT_TRUE(opening.attentionNote().isVisibleTo(tab.get()));
    EXPECT_EQ(opening.attentionNote().text(), "Sounds and bar signals still announce.");
    flip(opening.attentionSwitch());
    EXPECT_FALSE(opening.attentionNote().isVisibleTo(tab.get()));

    choose(tab->characterPicker(), "Usage");
    EXPECT_EQ(defaults.stringValue("selectedCharacterId"), "usage");
    EXPECT_TRUE(tab->usageNote().isVisibleTo(tab.get()));
    choose(tab->characterPicker(), "Zed");
    EXPECT_EQ(defaults.stringValue("selectedCharacterId"), "zed");
    EXPECT_FALSE(tab->usageNote().isVisibleTo(tab.get()));
    choose(tab->characterPicker(), "None");
    EXPECT_EQ(defaults.stringValue("selectedCharacterId"), "none");
}

TEST_F(GeneralSettingsTabTest, OddStoredValuesAreShownAsTheirReadersTakeThemAndNotRewritten)
{
    defaults.setValue("expandTrigger", "doubleClick");
    defaults.setValue("opensOnAttention", "no");
    defaults.setValue("selectedCharacterId", "gone-pack");
    const nlohmann::json before = defaults.snapshot();
    const auto tab = makeTab();
    EXPECT_EQ(tab->openingSection().triggerPicker().currentIndex(), -1);
    EXPECT_FALSE(tab->openingSection().clickNote().isVisibleTo(tab.get()));
    EXPECT_TRUE(tab->openingSection().attentionSwitch().isChecked()) << "a text reads as true";
    EXPECT_EQ(tab->characterPicker().currentIndex(), -1) << "a pack that is gone matches no option";
    EXPECT_EQ(defaults.snapshot(), before);
}

TEST_F(GeneralSettingsTabTest, WithoutPacksAnEmptyChoiceStaysEmpty)
{
    characters = {};
    const auto tab = makeTab();
    EXPECT_EQ(rows(tab->characterPicker()), (QStringList{"None", "Usage"}));
    EXPECT_EQ(tab->characterPicker().currentIndex(), -1);
    EXPECT_EQ(defaults.snapshot(), nlohmann::json::object());
}

TEST_F(GeneralSettingsTabTest, AChangeElsewhereUpdatesTheControlsWithoutTakingTheFocus)
{
    const auto tab = makeTab();
    QApplication::setActiveWindow(tab.get());
    tab->characterPicker().setFocus();
    ASSERT_EQ(QApplication::focusWidget(), &tab->characterPicker());

    defaults.setValue("hidesWhenIdle", true);
    defaults.setValue("expandTrigger", "click");
    defaults.setValue("opensOnAttention", false);
    defaults.setValue("displayMode", "lastClicked");
    defaults.setValue("selectedCharacterId", "usage");
    EXPECT_TRUE(tab->displaySection().idleSwitch().isChecked());
    EXPECT_EQ(tab->displaySection().placementPicker().currentText(), "Wherever I last clicked");
    EXPECT_EQ(tab->openingSection().triggerPicker().currentText(), "When I click it");
    EXPECT_TRUE(tab->openingSection().clickNote().isVisibleTo(tab.get()));
    EXPECT_FALSE(tab->openingSection().attentionSwitch().isChecked());
    EXPECT_EQ(tab->characterPicker().currentText(), "Usage");
    EXPECT_TRUE(tab->usageNote().isVisibleTo(tab.get()));
    EXPECT_EQ(QApplication::focusWidget(), &tab->characterPicker());
}

TEST_F(GeneralSettingsTabTest, RemovalRunsOnlyAfterConfirming)
{
    const auto tab = makeTab();
    EXPECT_EQ(tab->removeButton().text(), "Remove Velquist…");
    QTest::mouseClick(&tab->removeButton(), Qt::LeftButton);
    QMessageBox* dialog = tab->confirmation();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->text(), "Remove Velquist from this computer?");
    QAbstractButton* cancel = nullptr;
    QAbstractButton* remove = nullptr;
    for (QAbstractButton* button : dialog->buttons()) {
        if (button->text() == "Cancel")
            cancel = button;
        if (button->text() == "Move to Trash and Quit")
            remove = button;
    }
    ASSERT_TRUE(cancel && remove);
    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_EQ(removals, 0);
    EXPECT_EQ(tab->confirmation(), nullptr);

    QTest::mouseClick(&tab->removeButton(), Qt::LeftButton);
    dialog = tab->confirmation();
    ASSERT_NE(dialog, nullptr);
    for (QAbstractButton* button : dialog->buttons()) {
        if (button->text() == "Move to Trash and Quit")
            QTest::mouseClick(button, Qt::LeftButton);
    }
    EXPECT_EQ(removals, 1);
}

} // namespace
} // namespace velquist
