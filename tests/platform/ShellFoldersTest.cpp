#include "platform/ShellFolders.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <cstdlib>
#include <optional>
#include <pwd.h>
#include <string>
#include <unistd.h>

using namespace platform;

namespace {

// Sets or clears an environment variable for one test and restores it after.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : FName(name) {
        if (const char* old = std::getenv(name))
            FOld = std::string(old);
        if (value != nullptr)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (FOld)
            ::setenv(FName, FOld->c_str(), 1);
        else
            ::unsetenv(FName);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* FName;
    std::optional<std::string> FOld;
};

} // namespace

TEST(SpecialFolder, AbsoluteXdgConfigHomeWins) {
    ScopedEnv xdg("XDG_CONFIG_HOME", "/tmp/some config/");
    ScopedEnv home("HOME", "/home/nobody");
    EXPECT_EQ(GetSpecialFolder(CSIDL_APPDATA), "/tmp/some config");
}

TEST(SpecialFolder, RelativeOrEmptyXdgConfigHomeFallsBackToHome) {
    ScopedEnv home("HOME", "/home/somebody");
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", "relative/config");
        EXPECT_EQ(GetSpecialFolder(CSIDL_APPDATA), "/home/somebody/.config");
    }
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", "");
        EXPECT_EQ(GetSpecialFolder(CSIDL_APPDATA), "/home/somebody/.config");
    }
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
        EXPECT_EQ(GetSpecialFolder(CSIDL_APPDATA), "/home/somebody/.config");
    }
}

TEST(SpecialFolder, WithoutHomeThePasswordDatabaseIsAsked) {
    const passwd* entry = ::getpwuid(::getuid());
    if (entry == nullptr || entry->pw_dir == nullptr || entry->pw_dir[0] == '\0')
        GTEST_SKIP() << "no password entry for this user";
    QString expected = QString::fromUtf8(entry->pw_dir);
    expected = expected == "/" ? "/.config" : expected + "/.config";
    ScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
    ScopedEnv home("HOME", nullptr);
    EXPECT_EQ(GetSpecialFolder(CSIDL_APPDATA), expected);
}

TEST(SpecialFolder, LongPathsAreNotCut) {
    const QByteArray longPath = "/tmp/" + QByteArray(400, 'x');
    ScopedEnv xdg("XDG_CONFIG_HOME", longPath.constData());
    EXPECT_EQ(GetSpecialFolder(CSIDL_APPDATA), QString::fromUtf8(longPath));
}

TEST(SpecialFolder, UnknownIdentifierGivesEmpty) {
    EXPECT_TRUE(GetSpecialFolder(0).isEmpty());
    EXPECT_TRUE(GetSpecialFolder(-1).isEmpty());
}
