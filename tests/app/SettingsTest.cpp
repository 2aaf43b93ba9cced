#include "app/window/Settings.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

QString WriteIni(const QString& name, const QByteArray& text) {
    const QString path = testing_support::ConfigHome() + "/" + name;
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(text);
    return path;
}

TEST(ParseIniInteger, DecimalHexAndNonNumbers) {
    EXPECT_EQ(ParseIniInteger("42"), 42);
    EXPECT_EQ(ParseIniInteger("-5"), -5);
    EXPECT_EQ(ParseIniInteger("0x20"), 32);
    EXPECT_EQ(ParseIniInteger("0X1f"), 31);
    EXPECT_EQ(ParseIniInteger("0xFFFFFFFF"), -1);
    EXPECT_FALSE(ParseIniInteger("0x"));
    EXPECT_FALSE(ParseIniInteger("0xG1"));
    EXPECT_FALSE(ParseIniInteger("yes"));
    EXPECT_FALSE(ParseIniInteger(""));
    EXPECT_FALSE(ParseIniInteger("99999999999"));
}

TEST(IniPath, FolderIsCreatedWithParentsAndRootIsTheFallback) {
    const QString base = testing_support::ConfigHome() + "/deep/er";
    EXPECT_EQ(MakeIniPath(base), base + "/Brisquell/BSave.ini");
    EXPECT_TRUE(QDir(base + "/Brisquell").exists());
    EXPECT_EQ(IniPathFor(QString()), QString("/Brisquell/BSave.ini"));
}

TEST(ReadSettings, MissingFileGivesTheDefaults) {
    TSettings s;
    s.Left = s.Top = s.Width = s.Height = s.Baud = -1;
    ReadSettings(TIniFileAccess(testing_support::ConfigHome() + "/none.ini"), s, "fr", "/opt/b/");
    EXPECT_EQ(s.Left, 100);
    EXPECT_EQ(s.Top, 100);
    EXPECT_EQ(s.Width, 500);
    EXPECT_EQ(s.Height, 450);
    EXPECT_EQ(s.Baud, 9600);
    EXPECT_EQ(s.Device, 0);
    EXPECT_EQ(s.Port, 0);
    EXPECT_EQ(s.MaxPort, 10);
    EXPECT_TRUE(s.AutoConnect);
    EXPECT_FALSE(s.Debug);
    EXPECT_TRUE(s.AutoReconnect) << "files of earlier versions lack the key";
    EXPECT_EQ(s.LeftSpace, 10);
    EXPECT_EQ(s.Language, "fr");
    EXPECT_EQ(s.WorkDir, "/opt/b/");
    for (const QString& file : s.Files)
        EXPECT_TRUE(file.isEmpty());
}

TEST(ReadSettings, ValuesFollowTheFileRules) {
    const QString path = WriteIni("rules.ini", "[Window]\nLeft=0x20\n[Config]\nAutoConnect=yes\n"
                                               "Debug=2\nDevice=42\nBaud=abc\n[System]\nWorkDir=\n"
                                               "Language=es\n[LastFile]\nFile1=\"/tmp/a b.txt\"\n");
    TSettings s;
    ReadSettings(TIniFileAccess(path), s, "de", "/exe/");
    EXPECT_EQ(s.Left, 32);
    EXPECT_TRUE(s.AutoConnect) << "a non-number gives the default, true";
    EXPECT_TRUE(s.Debug) << "any non-zero number is true";
    EXPECT_EQ(s.Device, 42) << "kept as read; start-up maps it to Manuell";
    EXPECT_EQ(s.Baud, 9600);
    EXPECT_EQ(s.WorkDir, "") << "an empty value is not the default";
    EXPECT_EQ(s.Language, "es");
    EXPECT_EQ(s.Files[1], "/tmp/a b.txt");
    const QString off = WriteIni("off.ini", "[Config]\nAutoConnect=0\n");
    ReadSettings(TIniFileAccess(off), s, "de", "/exe/");
    EXPECT_FALSE(s.AutoConnect);
}

TEST(WriteSettings, RoundTripThroughARealFileInKeyOrder) {
    const QString path = testing_support::ConfigHome() + "/round.ini";
    TSettings out;
    out.Left = -20;
    out.Baud = 57600;
    out.Device = 8;
    out.Debug = true;
    out.AutoConnect = false;
    out.AutoReconnect = false;
    out.Language = "en";
    out.WorkDir = "/home/u/Messung/";
    out.Files = {"/a.txt", "/b.txt", "", "/ü ß.txt", ""};
    WriteSettings(TIniFileAccess(path), out);
    TSettings in;
    ReadSettings(TIniFileAccess(path), in, "de", "/x/");
    EXPECT_EQ(in.Left, -20);
    EXPECT_EQ(in.Baud, 57600);
    EXPECT_EQ(in.Device, 8);
    EXPECT_TRUE(in.Debug);
    EXPECT_FALSE(in.AutoConnect);
    EXPECT_FALSE(in.AutoReconnect);
    EXPECT_EQ(in.Language, "en");
    EXPECT_EQ(in.WorkDir, "/home/u/Messung/");
    EXPECT_EQ(in.Files, out.Files);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    const QStringList keys = {"Left",          "Top",       "Height",   "Width",       "Baud",
                              "Device",        "Port",      "MaxPort",  "AutoConnect", "Debug",
                              "AutoReconnect", "LeftSpace", "Language", "WorkDir",     "File0",
                              "File1",         "File2",     "File3",    "File4"};
    qsizetype last = -1;
    for (const QString& key : keys) {
        const qsizetype at = text.indexOf(key + "=");
        ASSERT_GT(at, last) << key.toStdString();
        last = at;
    }
}

TEST(WriteSettings, NamesWithLineBreaksAreLeftOutAndTheRestIsWritten) {
    const QString path = testing_support::ConfigHome() + "/breaks.ini";
    TSettings out;
    out.WorkDir = "/home/u/two\nlines/";
    out.Files = {"/a.txt", "/b\r\n[Config]\nDebug=1.txt", "/c.txt", "", ""};
    out.LeftSpace = 3;
    WriteSettings(TIniFileAccess(path), out);
    TSettings in;
    ReadSettings(TIniFileAccess(path), in, "de", "/x/");
    EXPECT_EQ(in.WorkDir, "");
    EXPECT_EQ(in.Files, (std::array<QString, 5>{"/a.txt", "", "/c.txt", "", ""}));
    EXPECT_FALSE(in.Debug);
    EXPECT_EQ(in.LeftSpace, 3);
    EXPECT_EQ(in.Language, out.Language);
}

TEST(WriteSettings, FailureNamesTheFile) {
    // A path below a regular file can never be written, not even by root.
    const QString blocker = WriteIni("blocker", "x");
    const QString path = blocker + "/BSave.ini";
    try {
        WriteSettings(TIniFileAccess(path), TSettings{});
        FAIL() << "no error raised";
    } catch (const std::runtime_error& error) {
        // With the reason in the program's own words.
        EXPECT_EQ(QString::fromUtf8(error.what()),
                  "In " + path + " kann nicht geschrieben werden\nDer Ordner ist nicht vorhanden.");
    }
}

} // namespace
