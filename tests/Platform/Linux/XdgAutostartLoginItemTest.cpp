#include "Platform/Linux/XdgAutostartLoginItem.h"
#include "support/base/TemporaryHome.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace velquist;

TEST(XdgAutostartLoginItemTest, EnableWritesAnEntryThatDisableRemoves)
{
    test::TemporaryHome home;
    XdgAutostartLoginItem item("/opt/velquist/bin/velquist");
    EXPECT_EQ(XdgAutostartLoginItem::defaultEntry(), home.path() / ".config/autostart/velquist.desktop");
    EXPECT_FALSE(item.isEnabled());

    ASSERT_TRUE(item.enable());
    EXPECT_TRUE(item.isEnabled());
    const std::string entry = home.read(".config/autostart/velquist.desktop");
    EXPECT_TRUE(entry.starts_with("[Desktop Entry]\nType=Application\nName=Velquist\n")) << entry;
    EXPECT_NE(entry.find("\nExec=\"/opt/velquist/bin/velquist\"\n"), std::string::npos) << entry;
    struct stat info
    {
    };
    ASSERT_EQ(::stat(XdgAutostartLoginItem::defaultEntry().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);

    ASSERT_TRUE(item.disable());
    EXPECT_FALSE(item.isEnabled());
    EXPECT_TRUE(item.disable()) << "an entry that is not there counts as removed";
}

TEST(XdgAutostartLoginItemTest, AnEntryTheSessionSkipsIsNotEnabled)
{
    test::TemporaryHome home;
    XdgAutostartLoginItem item("/usr/bin/velquist");
    const struct
    {
        const char* text;
        bool enabled;
    } cases[] = {
        {"[Desktop Entry]\nExec=velquist\n", true},
        {"[Desktop Entry]\nExec=velquist\nHidden=true\n", false},
        {"[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n", false},
        {"[Desktop Entry]\nExec=velquist\n[Desktop Action x]\nHidden=true\n", true},
    };
    for (const auto& c : cases) {
        home.write(".config/autostart/velquist.desktop", c.text);
        EXPECT_EQ(item.isEnabled(), c.enabled) << c.text;
    }
}

TEST(XdgAutostartLoginItemTest, ExecArgumentSurvivesTheEntrysQuotingRules)
{
    const struct
    {
        const char* path;
        const char* value;
    } cases[] = {
        {"/usr/bin/velquist", R"("/usr/bin/velquist")"},
        {"/home/a b/velquist", R"("/home/a b/velquist")"},
        {"/home/$USER/`x`/velquist", R"("/home/\\$USER/\\`x\\`/velquist")"},
        {R"(/home/"q"/velquist)", R"("/home/\\"q\\"/velquist")"},
        {R"(/home/back\slash/velquist)", R"("/home/back\\\\slash/velquist")"},
        {"/home/100%/velquist", R"("/home/100%%/velquist")"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(XdgAutostartLoginItem::execArgument(c.path), c.value) << c.path;
}

TEST(XdgAutostartLoginItemTest, RefusesAPathThatCannotBeWrittenOnOneLine)
{
    test::TemporaryHome home;
    XdgAutostartLoginItem item("/home/u/odd\nExec=rm -rf ~/velquist");
    EXPECT_FALSE(item.enable());
    EXPECT_FALSE(std::filesystem::exists(XdgAutostartLoginItem::defaultEntry()));
}
