#include "Settings/SettingsForm.h"
#include "Settings/SettingsSection.h"
#include "Settings/SettingsSwitch.h"
#include "UI/Kit/SettingsStyle.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace velquist {
namespace {

TEST(SettingsSection, LabelledRowsNameTheirControlAndSwitchesToggleOnlyOnTheToggle)
{
    SettingsForm form;
    SettingsSection* section = form.addSection("Claude Code");
    auto* toggle = section->addSwitch("Launch at login");
    QLabel* note = section->addNote("Explains the switch.");
    auto* install = new QPushButton("Install…");
    section->addRow("Hooks", install);
    form.resize(440, 300);
    form.show();
    EXPECT_EQ(section->header(), "Claude Code");
    EXPECT_EQ(toggle->text(), "Launch at login");
    EXPECT_EQ(note->font().pointSizeF(), SettingsStyle::calloutFont().pointSizeF());
    EXPECT_EQ(install->accessibleName(), "Hooks");

    QSignalSpy toggled(toggle, &QAbstractButton::toggled);
    QTest::mouseClick(toggle, Qt::LeftButton, {}, QPoint(5, toggle->height() / 2));
    EXPECT_EQ(toggled.count(), 0) << "a click on the title does nothing";
    QTest::mouseClick(toggle, Qt::LeftButton, {}, QPoint(toggle->width() - 10, toggle->height() / 2));
    EXPECT_TRUE(toggle->isChecked());
    toggle->setCheckedQuietly(false);
    EXPECT_EQ(toggled.count(), 1);
    EXPECT_FALSE(toggle->isChecked());
}

} // namespace
} // namespace velquist
