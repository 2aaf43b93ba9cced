#include "platform/Profile.h"

#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <csignal>
#include <sys/resource.h>

using namespace platform;

namespace {

const QString kSample = QStringLiteral("; settings\n"
                                       "[Window]\n"
                                       "  Left = 100 \n"
                                       "Top=200\n"
                                       "\n"
                                       "[Config]\n"
                                       "Quoted=\"  spaced  \"\n"
                                       "Single='x'\n"
                                       "Mixed=\"x'\n"
                                       "Lone=\"\n"
                                       "Empty=\n"
                                       "; a comment = not a key\n"
                                       "NoEquals\n");

QString TestFolder(const QString& name) {
    const QString folder = testing_support::ConfigHome() + "/profile/" + name;
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    return folder;
}

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

} // namespace

TEST(IniDocument, ReadsWithProfileSemantics) {
    const TIniDocument doc(kSample);
    EXPECT_EQ(doc.Value("window", "LEFT"), "100");
    EXPECT_EQ(doc.Value(" Window ", "top"), "200");
    EXPECT_EQ(doc.Value("Config", "Quoted"), "  spaced  ");
    EXPECT_EQ(doc.Value("Config", "Single"), "x");
    EXPECT_EQ(doc.Value("Config", "Mixed"), "\"x'");
    EXPECT_EQ(doc.Value("Config", "Lone"), "\"");
    // Keys belong to their own section only.
    EXPECT_TRUE(doc.Value("Config", "Left").isNull());
    EXPECT_TRUE(doc.Value("Nowhere", "Left").isNull());
    // Comments and lines without '=' are no keys.
    EXPECT_TRUE(doc.Value("Config", "; a comment").isNull());
    EXPECT_TRUE(doc.Value("Config", "NoEquals").isNull());
}

TEST(IniDocument, EmptyValueDiffersFromMissingKey) {
    const TIniDocument doc(kSample);
    const QString empty = doc.Value("Config", "Empty");
    EXPECT_FALSE(empty.isNull());
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_TRUE(doc.Value("Config", "Missing").isNull());
    EXPECT_FALSE(TIniDocument("[S]\nK=\"\"\n").Value("S", "K").isNull());
}

TEST(IniDocument, ReplacesInPlaceAndKeepsEverythingElse) {
    TIniDocument doc(kSample);
    doc.SetValue("WINDOW", "left", "5");
    QString expected = kSample;
    expected.replace("  Left = 100 \n", "Left=5\n");
    EXPECT_EQ(doc.Text(), expected);
    EXPECT_EQ(TIniDocument(doc.Text()).Value("Window", "Left"), "5");
}

TEST(IniDocument, AppendsKeyToItsSectionAndMissingSectionAtTheEnd) {
    TIniDocument doc(kSample);
    doc.SetValue("Window", "Width", "500");
    doc.SetValue("LastFile", "File0", "/tmp/a b.txt");
    doc.SetValue("lastfile", "File1", "");
    QString expected = kSample;
    expected.replace("Top=200\n", "Top=200\nWidth=500\n");
    expected += "\n[LastFile]\nFile0=/tmp/a b.txt\nFile1=\n";
    EXPECT_EQ(doc.Text(), expected);
    const TIniDocument reread(doc.Text());
    EXPECT_EQ(reread.Value("window", "width"), "500");
    EXPECT_EQ(reread.Value("LastFile", "File0"), "/tmp/a b.txt");
    EXPECT_FALSE(reread.Value("LastFile", "File1").isNull());
}

TEST(IniDocument, EmptyDocumentAndWindowsLineBreaks) {
    TIniDocument empty;
    EXPECT_TRUE(empty.Value("S", "K").isNull());
    empty.SetValue("S", "K", "v");
    EXPECT_EQ(empty.Text(), "[S]\nK=v\n");

    TIniDocument crlf(QStringLiteral("\xFEFF[S]\r\nK=v\r\n"));
    EXPECT_EQ(crlf.Value("S", "K"), "v");
    crlf.SetValue("S", "L", "w");
    EXPECT_EQ(crlf.Text(), "[S]\r\nK=v\r\nL=w\r\n");
}

TEST(PrivateProfile, RoundTripThroughAFile) {
    const QString folder = TestFolder("roundtrip");
    const QString path = folder + "/BSave.ini";
    EXPECT_EQ(GetPrivateProfileString("Window", "Left", "def", path), "def");
    ASSERT_TRUE(WritePrivateProfileString("Window", "Left", "100", path));
    ASSERT_TRUE(WritePrivateProfileString("Config", "WorkDir", "", path));
    ASSERT_TRUE(WritePrivateProfileString("Config", "Name", QString::fromUtf8("12,5 µm ä"), path));
    ASSERT_TRUE(WritePrivateProfileString("window", "LEFT", "7", path));
    EXPECT_EQ(FileBytes(path),
              QByteArray("[Window]\nLeft=7\n\n[Config]\nWorkDir=\nName=12,5 \xC2\xB5m \xC3\xA4\n"));
    EXPECT_EQ(GetPrivateProfileString("WINDOW", "left", "def", path), "7");
    EXPECT_EQ(GetPrivateProfileString("Config", "WorkDir", "def", path), "");
    EXPECT_EQ(GetPrivateProfileString("Config", "Name", "", path), QString::fromUtf8("12,5 µm ä"));
    EXPECT_EQ(GetPrivateProfileString("Config", "Missing", "def", path), "def");
    // No temporary files are left behind.
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"BSave.ini"});
}

TEST(PrivateProfile, LongValuesAreCutOnRead) {
    const QString path = TestFolder("long") + "/BSave.ini";
    const QString longValue(5000, u'x');
    ASSERT_TRUE(WritePrivateProfileString("S", "K", longValue, path));
    EXPECT_EQ(GetPrivateProfileString("S", "K", "", path).size(), kMaxProfileValue);
    EXPECT_EQ(TIniDocument(QString::fromUtf8(FileBytes(path))).Value("S", "K"), longValue);
}

TEST(PrivateProfile, AnsiFileIsReadWithoutLoss) {
    const QString path = TestFolder("ansi") + "/BSave.ini";
    WriteBytes(path, "[Config]\nUnit=\xB5m\n");
    EXPECT_EQ(GetPrivateProfileString("Config", "Unit", "", path), QString::fromUtf8("µm"));
    ASSERT_TRUE(WritePrivateProfileString("Config", "Other", "1", path));
    EXPECT_EQ(FileBytes(path), QByteArray("[Config]\nUnit=\xC2\xB5m\nOther=1\n"));
}

TEST(PrivateProfile, RefusesTextsThatWouldBreakTheFile) {
    const QString folder = TestFolder("refuse");
    const QString path = folder + "/BSave.ini";
    ASSERT_TRUE(WritePrivateProfileString("S", "K", "v", path));
    const QByteArray before = FileBytes(path);
    EXPECT_FALSE(WritePrivateProfileString("S", "K", "a\n[Evil]\nX=1", path));
    EXPECT_FALSE(WritePrivateProfileString("S", "K\r", "v", path));
    EXPECT_FALSE(WritePrivateProfileString("S", "A=B", "v", path));
    EXPECT_FALSE(WritePrivateProfileString("S]", "K", "v", path));
    EXPECT_FALSE(WritePrivateProfileString("S", "", "v", path));
    EXPECT_FALSE(WritePrivateProfileString("S", " [K", "v", path));
    EXPECT_FALSE(WritePrivateProfileString("S", ";K", "v", path));
    EXPECT_EQ(FileBytes(path), before);
}

TEST(PrivateProfile, FailedWriteReportsFailureAndCreatesNothing) {
    const QString folder = TestFolder("failure");
    WriteBytes(folder + "/plainfile", "x");
    // The parent of the target is a regular file: no folder to write in.
    EXPECT_FALSE(WritePrivateProfileString("S", "K", "v", folder + "/plainfile/BSave.ini"));
    EXPECT_EQ(FileBytes(folder + "/plainfile"), QByteArray("x"));
    // The target is a folder: it cannot be read or replaced.
    QDir().mkpath(folder + "/adir.ini");
    EXPECT_FALSE(WritePrivateProfileString("S", "K", "v", folder + "/adir.ini"));
    EXPECT_TRUE(QFileInfo(folder + "/adir.ini").isDir());
    EXPECT_EQ(GetPrivateProfileString("S", "K", "def", folder + "/adir.ini"), "def");
    // A missing folder is not created.
    EXPECT_FALSE(WritePrivateProfileString("S", "K", "v", folder + "/missing/BSave.ini"));
    EXPECT_FALSE(QFileInfo::exists(folder + "/missing"));
}

TEST(PrivateProfile, WriteFailingMidwayLeavesTheOldFileIntact) {
    // A file size limit makes the write of the new contents fail part way,
    // even for root (permission-based failures cannot be shown on CI).
    const QString folder = TestFolder("midway");
    const QString path = folder + "/BSave.ini";
    ASSERT_TRUE(WritePrivateProfileString("Window", "Left", "100", path));
    ASSERT_TRUE(WritePrivateProfileString("Window", "Top", "200", path));
    const QByteArray before = FileBytes(path);

    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = WritePrivateProfileString("Window", "Left", QString(100000, u'9'), path);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(written);
    EXPECT_EQ(FileBytes(path), before);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"BSave.ini"});
}
