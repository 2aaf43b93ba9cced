// Reading and replacing files on a failing machine, for real: a full tmpfs,
// a read-only mount, a folder without write permission (with root's
// overrides off), a folder that vanished. Whatever fails, the old file stays
// byte for byte and nothing is left beside it.
#include "platform/Files.h"

#include "tests/support/FileSystemFaults.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <sys/stat.h>
#include <unistd.h>

using namespace platform;

// Readable failures.
void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void Put(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray Pattern(qsizetype size, char seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(seed + i % 61);
    return bytes;
}

mode_t Mode(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// Everything in a folder, hidden files too: a left-over temporary file shows.
QStringList Listing(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// One replacement: the file the caller names, what it held, what replaces it.
struct TCase {
    const char* Name;
    QString Target; // the path written to
    QString Holder; // the file that holds the bytes (the link's target)
    QByteArray Old; // "" with Holder missing: a new file
    QByteArray New;
    mode_t Mode;
};

// The cases of one folder, made there: a small and a large file, a new one,
// one through a symbolic link with a mode of its own, one in a folder that
// is gone.
std::vector<TCase> MakeCases(const QString& folder) {
    std::vector<TCase> cases{
        {"small", folder + "/small.txt", folder + "/small.txt", "old\r\n12,5", "new\r\n12,75",
         0644},
        {"large", folder + "/large.txt", folder + "/large.txt", Pattern(200 * 1024, 'a'),
         Pattern(300 * 1024, 'b'), 0604},
        {"new", folder + "/new.txt", folder + "/new.txt", "", "fresh", 0},
        {"symlink", folder + "/link.txt", folder + "/linked.txt", "linked", "through the link",
         0640},
        {"vanished folder", folder + "/gone/x.txt", folder + "/gone/x.txt", "", "x", 0},
    };
    for (const TCase& c : cases) {
        if (c.Old.isEmpty())
            continue;
        Put(c.Holder, c.Old);
        ::chmod(QFile::encodeName(c.Holder).constData(), c.Mode);
    }
    QFile::link("linked.txt", folder + "/link.txt");
    QDir().mkpath(folder + "/gone");
    QDir(folder + "/gone").removeRecursively();
    return cases;
}

// Replaces each case's file; expected gives the failure each should meet
// (None: it succeeds).
void ReplaceAll(const QString& folder,
                const std::function<std::pair<TFileReason, TFileStep>(const TCase&)>& expected) {
    const std::vector<TCase> cases = MakeCases(folder);
    const QStringList before = Listing(folder);
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const auto [reason, step] = expected(c);
        const TFileError error = ReplaceFile(c.Target, c.New);
        EXPECT_EQ(error.Reason, reason) << error.Errno;
        if (reason != TFileReason::None) {
            EXPECT_EQ(error.Step, step);
        }
        const bool existed = !c.Old.isEmpty();
        if (error) {
            EXPECT_EQ(QFileInfo::exists(c.Holder), existed);
            if (existed) {
                EXPECT_EQ(Bytes(c.Holder), c.Old) << "the old file is kept byte for byte";
            }
        } else {
            EXPECT_EQ(Bytes(c.Holder), c.New);
        }
        if (existed) {
            EXPECT_EQ(Mode(c.Holder), c.Mode);
        }
    }
    EXPECT_TRUE(QFileInfo(folder + "/link.txt").isSymLink());
    QStringList after = Listing(folder);
    // Only a new file that was written, and a full disk's filler, may have joined.
    after.removeAll("new.txt");
    after.removeAll(".filler");
    EXPECT_EQ(after, before);
}

std::pair<TFileReason, TFileStep> Succeeds(const TCase& c) {
    if (QString(c.Name) == "vanished folder")
        return {TFileReason::NoFolder, TFileStep::Temporary};
    return {TFileReason::None, TFileStep::None};
}

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Scratch.isValid()); }
    QString Folder(const char* name) const { return Scratch.filePath(QString::fromUtf8(name)); }
    // A tmpfs of 1 MiB at a folder of its own, or the test is skipped.
    std::unique_ptr<TScratchMount> Mount(const char* name) {
        QString whyNot;
        auto mount = TScratchMount::Make(Folder(name), 1024 * 1024, whyNot);
        if (!mount)
            ADD_FAILURE() << "mount expected to work here: " << whyNot.toStdString();
        return mount;
    }
    bool CanMount() {
        QString whyNot;
        if (TScratchMount::Make(Folder("probe"), 4096, whyNot))
            return true;
        Skipped = whyNot;
        return false;
    }
    QTemporaryDir Scratch;
    QString Skipped;
};

TEST_F(FilesTest, ReplacesWholeOnAnOrdinaryDisk) {
    QDir().mkpath(Folder("plain"));
    ReplaceAll(Folder("plain"), Succeeds);
}

TEST_F(FilesTest, AFullDiskLeavesEveryOldFileAsItWas) {
    if (!CanMount())
        GTEST_SKIP() << Skipped.toStdString();
    const auto mount = Mount("full");
    ASSERT_TRUE(mount);
    ReplaceAll(mount->Path(), [&](const TCase& c) -> std::pair<TFileReason, TFileStep> {
        if (QString(c.Name) == "vanished folder")
            return {TFileReason::NoFolder, TFileStep::Temporary};
        // Filled once the cases' old files are there.
        if (QString(c.Name) == "small") {
            EXPECT_TRUE(mount->Fill());
        }
        return {TFileReason::DiskFull, TFileStep::Write};
    });
}

TEST_F(FilesTest, AReadOnlyMountRefusesBeforeWriting) {
    if (!CanMount())
        GTEST_SKIP() << Skipped.toStdString();
    const auto mount = Mount("readonly");
    ASSERT_TRUE(mount);
    ReplaceAll(mount->Path(), [&](const TCase& c) -> std::pair<TFileReason, TFileStep> {
        if (QString(c.Name) == "small") {
            EXPECT_TRUE(mount->RemountReadOnly());
        }
        if (QString(c.Name) == "vanished folder")
            return {TFileReason::NoFolder, TFileStep::Temporary};
        if (QString(c.Name) == "new")
            return {TFileReason::ReadOnly, TFileStep::Temporary};
        return {TFileReason::ReadOnly, TFileStep::Target};
    });
}

// A folder that takes no new file, holding a file that may be written: the
// file is not written in place (which a full disk would cut short), the save
// fails and says the folder is why.
TEST_F(FilesTest, AFolderWithoutWritePermissionIsNeverWrittenInPlace) {
    const QString folder = Folder("locked");
    QDir().mkpath(folder);
    const TWithoutOverride plainUser;
    ASSERT_TRUE(plainUser.Effective()) << "root's overrides could not be dropped";
    ReplaceAll(folder, [&](const TCase& c) -> std::pair<TFileReason, TFileStep> {
        if (QString(c.Name) == "small")
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
        if (QString(c.Name) == "vanished folder")
            return {TFileReason::NoFolder, TFileStep::Temporary};
        return {TFileReason::Denied, TFileStep::Temporary};
    });
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    // A file made read-only stays so, in a folder that would allow the rename.
    const QString readOnly = folder + "/readonly.txt";
    Put(readOnly, "keep");
    QFile::setPermissions(readOnly, QFile::ReadOwner);
    const TFileError error = ReplaceFile(readOnly, "changed");
    EXPECT_EQ(error.Reason, TFileReason::Denied);
    EXPECT_EQ(error.Step, TFileStep::Target);
    EXPECT_EQ(Bytes(readOnly), "keep");
}

// Only regular files are read or replaced; anything else is named for what
// it is, and a pipe without a writer never blocks. A deadline ends the test
// program should that regress.
TEST_F(FilesTest, WhatIsNoFileIsNamedForWhatItIs) {
    const QString folder = Folder("kinds");
    QDir().mkpath(folder);
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder + "/pipe").constData(), 0600), 0);
    QDir().mkpath(folder + "/folder");
    QFile::link("loop-b", folder + "/loop-a");
    QFile::link("loop-a", folder + "/loop-b");
    Put(folder + "/file", "text");
    QFile::link("file", folder + "/to-file");
    struct TKind {
        const char* Name;
        TFileReason Reason;
    };
    ::alarm(120);
    for (const TKind& kind :
         {TKind{"pipe", TFileReason::IsPipe}, TKind{"folder", TFileReason::IsFolder},
          TKind{"loop-a", TFileReason::LinkLoop}, TKind{"missing", TFileReason::NotFound},
          TKind{"/dev/null", TFileReason::IsDevice}}) {
        SCOPED_TRACE(kind.Name);
        const QString path = kind.Name[0] == '/' ? QString(kind.Name) : folder + "/" + kind.Name;
        QByteArray bytes = "stale";
        EXPECT_EQ(ReadRegularFile(path, bytes).Reason, kind.Reason);
        EXPECT_TRUE(bytes.isEmpty());
        if (kind.Reason != TFileReason::NotFound && kind.Name[0] != '/') {
            EXPECT_EQ(ReplaceFile(path, "x").Reason, kind.Reason);
        }
    }
    ::alarm(0);
    struct stat pipe {};
    EXPECT_TRUE(::lstat(QFile::encodeName(folder + "/pipe").constData(), &pipe) == 0 &&
                S_ISFIFO(pipe.st_mode));
    QByteArray bytes;
    EXPECT_FALSE(ReadRegularFile(folder + "/to-file", bytes));
    EXPECT_EQ(bytes, "text");
    // A limit refuses what is longer, and only that.
    EXPECT_FALSE(ReadRegularFile(folder + "/file", bytes, 4));
    EXPECT_EQ(ReadRegularFile(folder + "/file", bytes, 3).Reason, TFileReason::TooLarge);
    EXPECT_TRUE(bytes.isEmpty());
}

} // namespace
