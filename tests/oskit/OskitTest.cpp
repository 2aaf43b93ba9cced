#include "oskit/Fd.h"
#include "oskit/Folders.h"
#include "oskit/Pty.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <poll.h>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

bool IsOpen(int fd) {
    return ::fcntl(fd, F_GETFD) >= 0;
}

// Sets an environment variable (nullptr: removes it) for one scope.
class TScopedVariable {
public:
    TScopedVariable(const char* name, const char* value) : FName(name) {
        if (const char* old = std::getenv(name))
            FOld = old;
        Set(value);
    }
    ~TScopedVariable() { Set(FOld ? FOld->c_str() : nullptr); }
    TScopedVariable(const TScopedVariable&) = delete;
    TScopedVariable& operator=(const TScopedVariable&) = delete;

private:
    void Set(const char* value) {
        if (value != nullptr)
            ::setenv(FName.c_str(), value, 1);
        else
            ::unsetenv(FName.c_str());
    }
    std::string FName;
    std::optional<std::string> FOld;
};

// A fresh folder, removed with its contents after.
class TTemporaryFolder {
public:
    TTemporaryFolder() {
        std::string pattern = (fs::temp_directory_path() / "oskit-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr)
            FPath = pattern;
    }
    ~TTemporaryFolder() {
        std::error_code error;
        fs::remove_all(FPath, error);
    }
    TTemporaryFolder(const TTemporaryFolder&) = delete;
    TTemporaryFolder& operator=(const TTemporaryFolder&) = delete;
    const fs::path& Path() const { return FPath; }

private:
    fs::path FPath;
};

// What fd gives until the byte last arrives, or 10 s pass without any.
std::string ReadUntil(int fd, char last) {
    std::string got;
    for (int waits = 0; waits < 100 && (got.empty() || got.back() != last);) {
        pollfd ready{fd, POLLIN, 0};
        if (::poll(&ready, 1, 100) != 1) {
            ++waits;
            continue;
        }
        char buffer[64];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0)
            got.append(buffer, static_cast<size_t>(n));
        else
            ++waits; // hung up
    }
    return got;
}

mode_t ModeOf(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

} // namespace

// A descriptor closes once, with its last owner; a moved-from owner, a
// released one and a reset one hold nothing.
TEST(FdTest, OwnershipMovesAndClosesOnce) {
    int raw[2];
    ASSERT_EQ(::pipe(raw), 0);
    {
        oskit::TFd first(raw[0]);
        oskit::TFd second(std::move(first));
        EXPECT_FALSE(first.Valid());
        EXPECT_EQ(second.Get(), raw[0]);
        oskit::TFd third;
        third = std::move(second);
        EXPECT_FALSE(second.Valid());
        third = std::move(third); // no close of its own descriptor
        EXPECT_TRUE(IsOpen(raw[0]));

        oskit::TFd writer(raw[1]);
        const int kept = writer.Release();
        EXPECT_FALSE(writer.Valid());
        EXPECT_TRUE(IsOpen(kept));
        writer.Reset(kept);
        third = std::move(writer); // closes the read end it held
        EXPECT_FALSE(IsOpen(raw[0]));
        EXPECT_TRUE(IsOpen(raw[1]));
    }
    EXPECT_FALSE(IsOpen(raw[1]));
}

// What one side writes the other reads, both ways; the master does not
// block, both ends close on exec, and a raw line changes nothing on the way.
TEST(PtyTest, BytesRoundTripBothWays) {
    for (const auto line : {oskit::TPtyLine::AsOpened, oskit::TPtyLine::Raw}) {
        SCOPED_TRACE(line == oskit::TPtyLine::Raw ? "raw" : "as opened");
        oskit::TPtyPair pty = oskit::OpenPtyPair(line);
        ASSERT_TRUE(pty.Master.Valid());
        ASSERT_TRUE(pty.Slave.Valid());
        EXPECT_EQ(pty.SlavePath.rfind("/dev/pts/", 0), 0u) << pty.SlavePath;
        EXPECT_NE(::fcntl(pty.Master.Get(), F_GETFL) & O_NONBLOCK, 0);
        EXPECT_NE(::fcntl(pty.Master.Get(), F_GETFD) & FD_CLOEXEC, 0);
        EXPECT_NE(::fcntl(pty.Slave.Get(), F_GETFD) & FD_CLOEXEC, 0);
        termios attributes{};
        ASSERT_EQ(::tcgetattr(pty.Slave.Get(), &attributes), 0);
        EXPECT_EQ((attributes.c_lflag & ECHO) == 0, line == oskit::TPtyLine::Raw);

        const std::string toSlave = "12.5 mm\n";
        ASSERT_EQ(::write(pty.Master.Get(), toSlave.data(), toSlave.size()),
                  static_cast<ssize_t>(toSlave.size()));
        EXPECT_EQ(ReadUntil(pty.Slave.Get(), '\n'), toSlave);
        ASSERT_EQ(::write(pty.Slave.Get(), "?", 1), 1);
        // As opened, the line echoed what the master sent (once the slave
        // could read it), with its line end made CR LF.
        EXPECT_EQ(ReadUntil(pty.Master.Get(), '?'),
                  line == oskit::TPtyLine::Raw ? "?" : "12.5 mm\r\n?");
    }
}

// The runtime folder is made private, and refused when anything about it
// would let another user in or let them plant a file.
TEST(RuntimeFolderTest, IsPrivateOrRefused) {
    TTemporaryFolder runtime;
    ASSERT_FALSE(runtime.Path().empty());
    const uid_t me = ::getuid();
    const fs::path folder = runtime.Path() / "Brisquell";
    const std::string dir = runtime.Path().string();

    // Missing: made with mode 0700; a permissive umask adds nothing.
    const mode_t oldMask = ::umask(0);
    EXPECT_EQ(oskit::RuntimeFolder({dir.c_str(), runtime.Path(), me}), folder);
    ::umask(oldMask);
    EXPECT_EQ(ModeOf(folder), 0700u);
    EXPECT_EQ(oskit::RuntimeFolder({dir.c_str(), runtime.Path(), me}), folder) << "found again";

    struct TCase {
        const char* Name;
        mode_t Mode;
        bool Accepted;
    };
    for (const TCase& c :
         {TCase{"others may enter", 0755, false}, TCase{"the group may enter", 0710, false},
          TCase{"set-group-id", 02700, false}, TCase{"sticky", 01700, false},
          TCase{"private", 0700, true}}) {
        SCOPED_TRACE(c.Name);
        ASSERT_EQ(::chmod(folder.c_str(), c.Mode), 0);
        EXPECT_EQ(oskit::RuntimeFolder({dir.c_str(), runtime.Path(), me}).empty(), !c.Accepted);
    }
    // Another user's folder (the owner is given, as tests may run as root).
    EXPECT_TRUE(oskit::RuntimeFolder({dir.c_str(), runtime.Path(), me + 1}).empty());

    // A link to a private folder, and a file in the folder's place.
    fs::rename(folder, runtime.Path() / "real");
    fs::create_directory_symlink(runtime.Path() / "real", folder);
    EXPECT_TRUE(oskit::RuntimeFolder({dir.c_str(), runtime.Path(), me}).empty());
    fs::remove(folder);
    { std::ofstream(folder.string()) << "x"; }
    EXPECT_TRUE(oskit::RuntimeFolder({dir.c_str(), runtime.Path(), me}).empty());

    // A runtime dir that does not exist: nothing to make, nothing to use.
    const std::string missing = (runtime.Path() / "gone").string();
    EXPECT_TRUE(oskit::RuntimeFolder({missing.c_str(), runtime.Path(), me}).empty());
}

// Without an absolute XDG_RUNTIME_DIR the folder is brisquell-<uid> in the
// temporary folder, under the same rules.
TEST(RuntimeFolderTest, FallsBackWithoutAnAbsoluteRuntimeDir) {
    TTemporaryFolder tmp;
    const uid_t me = ::getuid();
    const fs::path fallback = tmp.Path() / ("brisquell-" + std::to_string(me));
    for (const char* value : {static_cast<const char*>(nullptr), "", "relative/run"}) {
        SCOPED_TRACE(value == nullptr ? "unset" : value);
        EXPECT_EQ(oskit::RuntimeFolder({value, tmp.Path(), me}), fallback);
        EXPECT_EQ(ModeOf(fallback), 0700u);
    }
    ASSERT_EQ(::chmod(fallback.c_str(), 0777), 0);
    EXPECT_TRUE(oskit::RuntimeFolder({nullptr, tmp.Path(), me}).empty());

    // The process's own environment is what the plain call reads.
    TTemporaryFolder runtime;
    TScopedVariable variable("XDG_RUNTIME_DIR", runtime.Path().c_str());
    EXPECT_EQ(oskit::RuntimeFolder(), runtime.Path() / "Brisquell");
}

// An absolute XDG_CONFIG_HOME wins; a relative one is ignored for $HOME,
// and a missing or relative $HOME for the password database's home.
TEST(ConfigFolderTest, FollowsTheEnvironmentInOrder) {
    const passwd* entry = ::getpwuid(::getuid());
    ASSERT_NE(entry, nullptr);
    const std::string passwordConfig =
        std::string(entry->pw_dir) == "/" ? "/.config" : std::string(entry->pw_dir) + "/.config";
    struct TCase {
        const char* Xdg;
        const char* Home;
        std::string Expected;
    };
    for (const TCase& c : {
             TCase{"/x/config", "/home/u", "/x/config"},
             TCase{"/x/config//", "/home/u", "/x/config"},
             TCase{"/", "/home/u", "/"},
             TCase{"relative", "/home/u", "/home/u/.config"},
             TCase{":config", "/home/u", "/home/u/.config"},
             TCase{"", "/home/u/", "/home/u/.config"},
             TCase{nullptr, "/", "/.config"},
             TCase{nullptr, "home/u", passwordConfig},
             TCase{nullptr, "", passwordConfig},
             TCase{nullptr, nullptr, passwordConfig},
         }) {
        SCOPED_TRACE(std::string(c.Xdg ? c.Xdg : "(unset)") + " " + (c.Home ? c.Home : "(unset)"));
        TScopedVariable xdg("XDG_CONFIG_HOME", c.Xdg);
        TScopedVariable home("HOME", c.Home);
        EXPECT_EQ(oskit::ConfigFolder(), c.Expected);
    }
}
