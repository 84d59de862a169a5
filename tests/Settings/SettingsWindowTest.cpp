#include "Settings/SettingsWindow.h"
#include "Settings/SettingsPicker.h"
#include "Settings/SettingsSection.h"
#include "Settings/SettingsTab.h"
#include "Settings/SettingsToolbar.h"
#include "UI/Kit/SettingsStyle.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QLabel>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QVariant>
#include <gtest/gtest.h>

namespace velquist {
namespace {

TEST(SettingsTab, RawValuesRoundTripAndUnknownNamesAreRefused)
{
    QStringList raws;
    for (const SettingsTab tab : SettingsTabs::all) {
        raws << SettingsTabs::rawValue(tab);
        EXPECT_EQ(SettingsTabs::fromRawValue(SettingsTabs::rawValue(tab)), tab);
    }
    EXPECT_EQ(raws, (QStringList{"general", "sounds", "usage", "privacy", "integrations", "filters"}));
    for (const QString& other :
         {QString(), QStringLiteral("General"), QStringLiteral("privacy "), QStringLiteral("jump")})
        EXPECT_FALSE(SettingsTabs::fromRawValue(other)) << other.toStdString();
}

// A window whose every tab has a page naming its tab, counting how often each was built.
struct CountingWindow
{
    CountingWindow()
    {
        for (const SettingsTab tab : SettingsTabs::all) {
            window.setPageFactory(tab, [this, tab] {
                ++builds[SettingsTabs::rawValue(tab)];
                auto* page = new QLabel(SettingsTabs::rawValue(tab));
                page->setObjectName(SettingsTabs::rawValue(tab));
                return page;
            });
        }
        window.show();
    }
    QString shownTab() const { return window.page() ? window.page()->objectName() : QString(); }

    SettingsWindow window;
    std::map<QString, int> builds;
};

TEST(SettingsWindow, StartsOnGeneralAndClickingATabShowsItsFreshPage)
{
    CountingWindow fixture;
    EXPECT_EQ(fixture.window.windowTitle(), "Settings");
    EXPECT_EQ(fixture.window.selection(), SettingsTab::general);
    EXPECT_EQ(fixture.shownTab(), "general");

    QSignalSpy changes(&fixture.window, &SettingsWindow::selectionChanged);
    QTest::mouseClick(fixture.window.toolbar().button(SettingsTab::privacy), Qt::LeftButton);
    EXPECT_EQ(fixture.window.selection(), SettingsTab::privacy);
    EXPECT_EQ(fixture.shownTab(), "privacy");
    EXPECT_TRUE(fixture.window.toolbar().button(SettingsTab::privacy)->isChecked());
    EXPECT_FALSE(fixture.window.toolbar().button(SettingsTab::general)->isChecked());
    EXPECT_EQ(changes.count(), 1);

    // Clicking the selected tab keeps it selected and reads its state anew.
    const int before = fixture.builds["privacy"];
    QTest::mouseClick(fixture.window.toolbar().button(SettingsTab::privacy), Qt::LeftButton);
    EXPECT_TRUE(fixture.window.toolbar().button(SettingsTab::privacy)->isChecked());
    EXPECT_EQ(fixture.builds["privacy"], before + 1);
    EXPECT_EQ(changes.count(), 1);
}

TEST(SettingsWindow, TabBarListsEveryTabByTitleAsItsAccessibleText)
{
    SettingsToolbar toolbar(SettingsTab::general);
    QStringList titles;
    for (const SettingsTab tab : SettingsTabs::all)
        titles << toolbar.button(tab)->text();
    EXPECT_EQ(titles, (QStringList{"General", "Sounds", "Usage", "Privacy", "Integrations", "Filters"}));
}

TEST(SettingsWindow, TabsReadAsPageTabsSelectedWhileChosen)
{
    // As with a screen reader listening, whose presence makes every change be announced at once.
    QAccessible::setActive(true);
    SettingsToolbar toolbar(SettingsTab::sounds);
    for (const SettingsTab tab : SettingsTabs::all) {
        QAccessibleInterface* read = QAccessible::queryAccessibleInterface(toolbar.button(tab));
        ASSERT_TRUE(read);
        EXPECT_EQ(read->role(), QAccessible::PageTab) << read->text(QAccessible::Name).toStdString();
        EXPECT_EQ(read->text(QAccessible::Name), SettingsTabs::title(tab));
        EXPECT_EQ(read->state().selected, tab == SettingsTab::sounds);
    }
    QAccessible::setActive(false);
}

TEST(SettingsWindow, PickersReadByTheirLabelWithTheirValue)
{
    SettingsSection section(QStringLiteral("Notch corner"));
    auto* picker = new SettingsPicker;
    picker->addItems({QStringLiteral("None"), QStringLiteral("Velq")});
    picker->setCurrentIndex(1);
    section.addRow(QStringLiteral("Show in the notch"), picker);
    QAccessibleInterface* read = QAccessible::queryAccessibleInterface(picker);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->role(), QAccessible::ComboBox);
    EXPECT_EQ(read->text(QAccessible::Name), "Show in the notch");
    EXPECT_EQ(read->text(QAccessible::Value), "Velq");
}

TEST(SettingsWindow, SelectTabNoticeSwitchesOnlyForATabsName)
{
    CountingWindow fixture;
    struct Case
    {
        QVariant object;
        SettingsTab expected;
    };
    const Case cases[] = {
        {QVariant(QStringLiteral("privacy")), SettingsTab::privacy},
        {QVariant(QStringLiteral("nonsense")), SettingsTab::privacy},
        {QVariant(42), SettingsTab::privacy},
        {QVariant(), SettingsTab::privacy},
        {QVariant(QByteArray("filters")), SettingsTab::privacy},
        {QVariant(QStringLiteral("filters")), SettingsTab::filters},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.object.toString().toStdString());
        fixture.window.selectTabRequested(c.object);
        EXPECT_EQ(fixture.window.selection(), c.expected);
        EXPECT_EQ(fixture.shownTab(), SettingsTabs::rawValue(c.expected));
    }
}

TEST(SettingsWindow, KeepsItsWidthAndMinimumHeightAndItsTabAcrossReopening)
{
    CountingWindow fixture;
    fixture.window.setSelection(SettingsTab::usage);
    fixture.window.resize(900, 100);
    EXPECT_EQ(fixture.window.width(), SettingsWindow::kWidth);
    EXPECT_GE(fixture.window.height(), SettingsWindow::kMinimumHeight);

    const int builds = fixture.builds["usage"];
    fixture.window.close();
    EXPECT_FALSE(fixture.window.isVisible());
    fixture.window.present();
    EXPECT_EQ(fixture.window.selection(), SettingsTab::usage);
    EXPECT_EQ(fixture.builds["usage"], builds + 1) << "reopening reads the page's state anew";
}

TEST(SettingsWindow, IsCentredOnceAndComesBackWhereTheUserLeftIt)
{
    SettingsWindow window;
    window.present();
    const QRect area = window.screen()->availableGeometry();
    EXPECT_LE((window.geometry().center() - area.center()).manhattanLength(), 6) << "centred the first time";
    const WId first = window.winId();

    window.move(40, 60); // the user drags it aside
    window.close();
    window.present();
    EXPECT_LE((window.pos() - QPoint(40, 60)).manhattanLength(), 2) << "where the user left it";
    EXPECT_EQ(window.winId(), first) << "one window, shown again";
}

TEST(SettingsWindow, ATabWithoutItsPageShowsNothing)
{
    SettingsWindow window(SettingsTab::sounds);
    window.show();
    EXPECT_EQ(window.page(), nullptr);
    window.setPageFactory(SettingsTab::sounds, [] { return new QLabel("sounds"); });
    ASSERT_NE(window.page(), nullptr);
    window.setSelection(SettingsTab::general);
    EXPECT_EQ(window.page(), nullptr);
}

} // namespace
} // namespace velquist
