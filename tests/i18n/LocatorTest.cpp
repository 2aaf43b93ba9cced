#include "tests/i18n/I18nTestSupport.h"

#include "i18n/GnuGettextErrors.h"
#include "i18n/TFileLocator.h"
#include "tools/AppendedTable.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <string>

using gnugettext::TFileLocator;
using gnugettext::TMoFile;
using namespace i18n_test;

namespace {

std::string Bytes(const QByteArray& data) {
    return data.toStdString();
}

std::int64_t Int64At(const std::string& image, std::size_t at) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = v << 8 | static_cast<unsigned char>(image[at + static_cast<std::size_t>(i)]);
    return static_cast<std::int64_t>(v);
}

// A stand-in for a built program: some code, the signature with a zero
// offset, more code.
std::string FakeExecutable(std::size_t size = 5000) {
    std::string image(size, '\x90');
    const std::string anchor = appended_table::Signature() + std::string(8, '\0');
    image.replace(1234, anchor.size(), anchor);
    return image;
}

std::vector<appended_table::TFile> ShippedLikeFiles() {
    return {
        {"default.mo", Bytes(ReadAll(Catalog("default.mo")))},
        {"locale/de/LC_MESSAGES/default.mo",
         Bytes(ReadAll(Catalog("locale/de/LC_MESSAGES/default.mo")))},
        {"locale/en/LC_MESSAGES/default.mo",
         Bytes(ReadAll(Catalog("locale/en/LC_MESSAGES/default.mo")))},
        {"locale/fr/LC_MESSAGES/default.mo",
         Bytes(ReadAll(Catalog("locale/fr/LC_MESSAGES/default.mo")))},
        {"locale/pl/LC_MESSAGES/default.mo",
         Bytes(ReadAll(Catalog("locale/pl/LC_MESSAGES/default.mo")))},
    };
}

class LocatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        Image = FakeExecutable();
        OriginalSize = Image.size();
        const auto result = appended_table::Append(Image, ShippedLikeFiles());
        ASSERT_EQ(result.Error, "");
        Exe = Dir.filePath(QStringLiteral("program"));
        WriteAll(Exe, QByteArray::fromStdString(Image));
        TableOffset = Int64At(Image, 1234 + 36);
    }
    QTemporaryDir Dir;
    std::string Image;
    std::size_t OriginalSize = 0;
    QString Exe;
    std::int64_t TableOffset = 0;
};

} // namespace

TEST_F(LocatorTest, AppenderLaysOutTheTableLikeTheShippedProgram) {
    const auto files = ShippedLikeFiles();
    std::size_t data = 0;
    for (const auto& f : files)
        data += f.Data.size();
    const std::size_t padded = (data + 4095) / 4096 * 4096;
    EXPECT_EQ(TableOffset, static_cast<std::int64_t>(OriginalSize + padded));
    EXPECT_EQ(Image.size(), OriginalSize + padded + 5 * 256 + 8);
    EXPECT_EQ(Int64At(Image, Image.size() - 8), 0);
    EXPECT_EQ(Image.substr(OriginalSize, files[0].Data.size()), files[0].Data);
    const std::size_t entry = static_cast<std::size_t>(TableOffset);
    EXPECT_EQ(Int64At(Image, entry), TableOffset + 256);
    EXPECT_EQ(Int64At(Image, entry + 8), static_cast<std::int64_t>(OriginalSize));
    EXPECT_EQ(Image.substr(entry + 24, 232), "default.mo" + std::string(222, ' '));
}

TEST_F(LocatorTest, AppenderRefusesWhatItCannotDo) {
    std::string plain(3000, 'x');
    EXPECT_NE(appended_table::Append(plain, ShippedLikeFiles()).Error.find("no signature"),
              std::string::npos);
    std::string twice = Image;
    EXPECT_NE(appended_table::Append(twice, ShippedLikeFiles()).Error.find("already carries"),
              std::string::npos);
    EXPECT_EQ(twice, Image);
    for (const char* name : {"locale\\de\\default.mo", " lead", "", "a\tb"}) {
        std::string image = FakeExecutable();
        EXPECT_NE(appended_table::Append(image, {{name, "x"}}).Error, "") << name;
    }
    std::string image = FakeExecutable();
    EXPECT_NE(appended_table::Append(image, {{std::string(233, 'n'), "x"}}).Error, "");
    EXPECT_NE(appended_table::Append(image, {{"A.mo", "x"}, {"a.MO", "y"}}).Error, "");
    std::string doubled = FakeExecutable() + appended_table::Signature() + std::string(8, '\0');
    EXPECT_NE(appended_table::Append(doubled, {{"a.mo", "x"}}).Error.find("occurs 2 times"),
              std::string::npos);
}

TEST_F(LocatorTest, AppenderReplacesAStaleOffsetAfterStrip) {
    std::string stripped = Image.substr(0, OriginalSize); // offset still set, table gone
    const auto result = appended_table::Append(stripped, {{"a.mo", "x"}});
    EXPECT_EQ(result.Error, "");
    EXPECT_NE(result.Note, "");
    EXPECT_TRUE(appended_table::HasValidTable(stripped, Int64At(stripped, 1234 + 36)));
}

TEST_F(LocatorTest, ScanFindsTheFiveNamesWithOffsetsAndSizes) {
    TFileLocator locator(Exe);
    locator.ScanTable(TableOffset);
    EXPECT_EQ(locator.ExecutableFolder(), Dir.path() + QLatin1Char('/'));
    const auto files = ShippedLikeFiles();
    EXPECT_EQ(locator.EmbeddedFileNames().size(), 5);
    std::int64_t offset = static_cast<std::int64_t>(OriginalSize);
    for (const auto& file : files) {
        const auto* info = locator.EmbeddedFile(QString::fromStdString(file.Name));
        ASSERT_NE(info, nullptr) << file.Name;
        EXPECT_EQ(info->DataOffset, offset);
        EXPECT_EQ(info->DataSize, static_cast<std::int64_t>(file.Data.size()));
        offset += info->DataSize;
    }
}

TEST_F(LocatorTest, ScanWithoutTableOrWithDamageKeepsWhatItRead) {
    TFileLocator none(Exe);
    none.ScanTable(0);
    EXPECT_TRUE(none.ExecutableFolder().isEmpty());
    EXPECT_FALSE(none.HasEmbeddedFile(Dir.path() + QStringLiteral("/default.mo")));

    // Cut inside the third entry: the first two stay.
    WriteAll(Exe, QByteArray::fromStdString(Image.substr(0, TableOffset + 2 * 256 + 20)));
    TFileLocator cut(Exe);
    cut.ScanTable(TableOffset);
    EXPECT_EQ(cut.EmbeddedFileNames().size(), 2);

    // An entry whose next offset points back at itself repeats its name.
    std::string looping = Image;
    for (int i = 0; i < 8; ++i)
        looping[TableOffset + 256 + i] = static_cast<char>((TableOffset + 256) >> (8 * i) & 0xFF);
    WriteAll(Exe, QByteArray::fromStdString(looping));
    TFileLocator loop(Exe);
    loop.ScanTable(TableOffset);
    EXPECT_EQ(loop.EmbeddedFileNames().size(), 1);

    // Next offsets far below or far above the entry end the scan there
    // (the sanitizer build also checks that no arithmetic overflows).
    for (const std::uint64_t next : {std::uint64_t{1} << 63, ~std::uint64_t{0} >> 1}) {
        std::string wild = Image;
        for (int i = 0; i < 8; ++i)
            wild[TableOffset + 256 + i] = static_cast<char>(next >> (8 * i) & 0xFF);
        WriteAll(Exe, QByteArray::fromStdString(wild));
        TFileLocator scan(Exe);
        scan.ScanTable(TableOffset);
        EXPECT_EQ(scan.EmbeddedFileNames().size(), 1) << next;
    }
}

TEST_F(LocatorTest, FolderPrefixIsCaseSensitiveNamesAreNot) {
    TFileLocator locator(Exe);
    locator.ScanTable(TableOffset);
    const QString folder = locator.ExecutableFolder();
    EXPECT_TRUE(
        locator.HasEmbeddedFile(folder + QStringLiteral("locale/de/LC_MESSAGES/default.mo")));
    EXPECT_TRUE(
        locator.HasEmbeddedFile(folder + QStringLiteral("LOCALE/DE/lc_messages/Default.MO")));
    EXPECT_FALSE(locator.HasEmbeddedFile(folder.toUpper() +
                                         QStringLiteral("locale/de/LC_MESSAGES/default.mo")));
    EXPECT_FALSE(locator.HasEmbeddedFile(QStringLiteral("locale/de/LC_MESSAGES/default.mo")));
    EXPECT_FALSE(
        locator.HasEmbeddedFile(folder + QStringLiteral("locale/es/LC_MESSAGES/default.mo")));
}

TEST_F(LocatorTest, AppendedCopyWinsAndIsSharedByUseCount) {
    const QString path = Dir.filePath(QStringLiteral("locale/de/LC_MESSAGES/default.mo"));
    QDir().mkpath(QFileInfo(path).absolutePath());
    WriteAll(path, ReadAll(Catalog("disk_de.mo")));
    TFileLocator locator(Exe);
    locator.ScanTable(TableOffset);

    TMoFile* first = locator.AcquireCatalog(path);
    TMoFile* second = locator.AcquireCatalog(path);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first->UseCount, 2);
    bool found = false;
    EXPECT_EQ(first->Lookup("Datei", found).toByteArray(), "Datei");
    locator.ReleaseCatalog(first);
    EXPECT_EQ(locator.OpenCatalogCount(), 1);
    locator.ReleaseCatalog(second);
    EXPECT_EQ(locator.OpenCatalogCount(), 0);

    // Without the table the same path is the file on disk.
    TFileLocator plain(Exe);
    TMoFile* disk = plain.AcquireCatalog(path);
    EXPECT_EQ(disk->Lookup("Datei", found).toByteArray(), "Datei von der Platte");
    plain.ReleaseCatalog(disk);
}

TEST_F(LocatorTest, BrokenCatalogIsNotCached) {
    const QString path = Dir.filePath(QStringLiteral("broken.mo"));
    WriteAll(path, "not a catalog");
    TFileLocator locator(Exe);
    EXPECT_THROW(locator.AcquireCatalog(path), gnugettext::EGGIOError);
    EXPECT_EQ(locator.OpenCatalogCount(), 0);
}
