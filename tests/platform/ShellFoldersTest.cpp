#include "platform/ShellFolders.h"
#include "tests/support/ScopedEnv.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <pwd.h>
#include <unistd.h>

using namespace platform;

TEST(SpecialFolder, AbsoluteXdgConfigHomeWins) {
    TScopedEnv xdg("XDG_CONFIG_HOME", "/tmp/some config/");
    TScopedEnv home("HOME", "/home/nobody");
    EXPECT_EQ(GetSpecialFolder(CSIDL_APPDATA), "/tmp/some config");
}

TEST(SpecialFolder, RelativeOrEmptyXdgConfigHomeFallsBackToHome) {
    TScopedEnv home("HOME", "/home/somebody");
    {
        TScopedEnv xdg("XDG_CONFIG_HOME", "relative/config");
        EXPECT_EQ(GetSpecialFolder(CSIDL_APPDATA), "/home/somebody/.config");
    }
    {
        // Relative too, although Qt would take it for a resource path.
        TScopedEnv xdg("XDG_CONFIG_HOME", ":config");
        EXPECT_EQ(GetSpecialFolder(CSIDL_APPDATA), "/home/somebody/.config");
    }
    {
        TScopedEnv xdg("XDG_CONFIG_HOME", "");
        EXPECT_EQ(GetSpecialFolder(CSIDL_APPDATA), "/home/somebody/.config");
    }
    {
        TScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
        EXPECT_EQ(GetSpecialFolder(CSIDL_APPDATA), "/home/somebody/.config");
    }
}

TEST(SpecialFolder, WithoutHomeThePasswordDatabaseIsAsked) {
    const passwd* entry = ::getpwuid(::getuid());
    if (entry == nullptr || entry->pw_dir == nullptr || entry->pw_dir[0] == '\0')
        GTEST_SKIP() << "no password entry for this user";
    QString expected = QString::fromUtf8(entry->pw_dir);
    expected = expected == "/" ? "/.config" : expected + "/.config";
    TScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
    TScopedEnv home("HOME", nullptr);
    EXPECT_EQ(GetSpecialFolder(CSIDL_APPDATA), expected);
}

TEST(SpecialFolder, LongPathsAreNotCut) {
    const QByteArray longPath = "/tmp/" + QByteArray(400, 'x');
    TScopedEnv xdg("XDG_CONFIG_HOME", longPath.constData());
    EXPECT_EQ(GetSpecialFolder(CSIDL_APPDATA), QString::fromUtf8(longPath));
}

TEST(SpecialFolder, UnknownIdentifierGivesEmpty) {
    EXPECT_TRUE(GetSpecialFolder(0).isEmpty());
    EXPECT_TRUE(GetSpecialFolder(-1).isEmpty());
}
