// Where the program finds the converter library over the kernel's ttys: in
// its own process, since a library once loaded is found again by its name.
#include "usb/D2XXUnit.h"

#include "tests/app/FakeDialogs.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>

#include <dlfcn.h>

using namespace d2xx;

// An installed program finds the library in its ../lib/brisquell, after its
// own folder and the system's search. BRISQUELL_EXECUTABLE names an
// installed program to check; without it, a tree like an install is made.
TEST(KernelProviderLoad, AnInstalledProgramFindsItInLibBrisquell) {
    namespace fs = std::filesystem;
    QTemporaryDir tree;
    fs::path program = qEnvironmentVariable("BRISQUELL_EXECUTABLE").toStdString();
    if (program.empty()) {
        program = fs::path(tree.path().toStdString()) / "usr/bin/brisquell";
        fs::create_directories(program.parent_path());
        fs::create_directories(program.parent_path().parent_path() / "lib/brisquell");
        fs::copy_file(BRISQUELL_PROVIDER,
                      program.parent_path().parent_path() / "lib/brisquell/libftd2xx.so");
    }
    TFakeDialogs dialogs;
    TD2xxUnit unit(dialogs, TD2xxUnit::LibraryName, program.parent_path());
    ASSERT_TRUE(unit.D2xx_Load());
    Dl_info info{};
    ASSERT_NE(::dladdr(unit.Entry<void*>(TD2xxEntry::FT_OpenEx), &info), 0);
    EXPECT_EQ(fs::canonical(info.dli_fname),
              fs::canonical(program.parent_path().parent_path() / "lib/brisquell/libftd2xx.so"));

    // A build tree has no such folder: the program finds no library there
    // (unless the machine has one of its own).
    if (void* system = ::dlopen(TD2xxUnit::LibraryName, RTLD_NOW | RTLD_LOCAL)) {
        ::dlclose(system);
        GTEST_SKIP() << "this machine has a converter library of its own";
    }
    TD2xxUnit built(dialogs, TD2xxUnit::LibraryName, D2xxProgramFolder());
    EXPECT_FALSE(built.D2xx_Load());
}
