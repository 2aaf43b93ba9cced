#include "tests/i18n/I18nTestSupport.h"

#include "i18n/GnuGettextErrors.h"
#include "i18n/TFileLocator.h"
#include "tools/AppendedTable.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
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

void PutLittle(std::string& image, std::size_t at, std::uint64_t value, int bytes = 8) {
    for (int i = 0; i < bytes; ++i)
        image[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i) & 0xFF);
}

std::string ReadImage(const QString& path) {
    return Bytes(ReadAll(path));
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

// The ELF section header table, for damaging one field of a header.
struct TElfHeaders {
    explicit TElfHeaders(const std::string& image)
        : Offset(static_cast<std::size_t>(Int64At(image, 0x28))),
          EntrySize(static_cast<unsigned char>(image[0x3A]) |
                    static_cast<unsigned char>(image[0x3B]) << 8),
          Count(static_cast<unsigned char>(image[0x3C]) | static_cast<unsigned char>(image[0x3D])
                                                              << 8) {}
    // The header of the section whose contents start at offset.
    std::size_t HeaderAt(const std::string& image, std::uint64_t offset) const {
        for (std::size_t i = 0; i < Count; ++i)
            if (static_cast<std::uint64_t>(Int64At(image, Offset + i * EntrySize + 0x18)) == offset)
                return Offset + i * EntrySize;
        return 0;
    }
    std::size_t Offset;
    std::size_t EntrySize;
    std::size_t Count;
};

// The table carrier is a real linked program that carries the five
// shipped-like catalogs in its files' section; each test works on a copy.
class LocatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        Image = ReadImage(QStringLiteral(I18N_TABLE_CARRIER));
        ASSERT_FALSE(Image.empty());
        const auto found = appended_table::FindSignature(Image);
        ASSERT_EQ(found.size(), 1U);
        AnchorAt = found.front() + appended_table::Signature().size();
        TableOffset = Int64At(Image, AnchorAt);
        const auto section = appended_table::FindSection(Image, appended_table::SectionName);
        ASSERT_TRUE(section.has_value());
        Section = *section;
        Exe = Dir.filePath(QStringLiteral("program"));
        WriteAll(Exe, QByteArray::fromStdString(Image));
    }
    // The image as the linker leaves it: the layout for offset 0 in the
    // section and no offset after the signature.
    std::string Linked() const {
        std::string image = Image;
        std::int64_t unused = 0;
        image.replace(Section.Offset, Section.Size,
                      appended_table::BuildAppendix(0, ShippedLikeFiles(), unused));
        PutLittle(image, AnchorAt, 0);
        return image;
    }
    QTemporaryDir Dir;
    std::string Image;
    std::size_t AnchorAt = 0;
    appended_table::TSection Section;
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
    EXPECT_EQ(TableOffset, static_cast<std::int64_t>(Section.Offset + padded));
    EXPECT_EQ(Section.Size, padded + 5 * 256 + 8);
    EXPECT_EQ(Int64At(Image, Section.Offset + Section.Size - 8), 0);
    EXPECT_EQ(Image.substr(Section.Offset, files[0].Data.size()), files[0].Data);
    const std::size_t entry = static_cast<std::size_t>(TableOffset);
    EXPECT_EQ(Int64At(Image, entry), TableOffset + 256);
    EXPECT_EQ(Int64At(Image, entry + 8), static_cast<std::int64_t>(Section.Offset));
    EXPECT_EQ(Image.substr(entry + 24, 232), "default.mo" + std::string(222, ' '));
}

TEST_F(LocatorTest, AppenderFillsALinkedProgramAndLeavesACarriedTableAlone) {
    std::string linked = Linked();
    ASSERT_NE(linked, Image);
    const auto filled = appended_table::Append(linked, ShippedLikeFiles());
    EXPECT_EQ(filled.Error, "");
    EXPECT_TRUE(filled.Changed);
    EXPECT_EQ(linked, Image);

    // An installed copy, stripped or not, already carries the table.
    std::string installed = Image;
    const auto again = appended_table::Append(installed, ShippedLikeFiles());
    EXPECT_EQ(again.Error, "");
    EXPECT_FALSE(again.Changed);
    EXPECT_EQ(installed, Image);
}

TEST_F(LocatorTest, AppenderRefusesWhatItCannotDo) {
    const auto refused = [](std::string image, const std::vector<appended_table::TFile>& files) {
        const std::string before = image;
        const std::string error = appended_table::Append(image, files).Error;
        EXPECT_EQ(image, before) << "a refused image stays as it was";
        return error;
    };
    EXPECT_NE(refused(std::string(3000, 'x'), ShippedLikeFiles()).find("no signature"),
              std::string::npos);
    for (const char* name : {"locale\\de\\default.mo", " lead", "", "a\tb"})
        EXPECT_NE(refused(Image, {{name, "x"}}), "") << name;
    EXPECT_NE(refused(Image, {{std::string(233, 'n'), "x"}}), "");
    EXPECT_NE(refused(Image, {{"A.mo", "x"}, {"a.MO", "y"}}), "");
    // Other files than the section was linked with do not fit.
    EXPECT_NE(refused(Image, {{"a.mo", "x"}}).find("linked with other files"), std::string::npos);
    // A file that is not ELF counts as a whole: two signatures, or no section.
    const std::string anchor = appended_table::Signature() + std::string(8, '\0');
    EXPECT_NE(refused(anchor + "code" + anchor, {{"a.mo", "x"}}).find("occurs 2 times"),
              std::string::npos);
    EXPECT_NE(refused(anchor + "code", {{"a.mo", "x"}}).find("no section"), std::string::npos);
}

TEST_F(LocatorTest, AppenderReadsADamagedSectionTableSafely) {
    const TElfHeaders elf(Image);
    const std::size_t header = elf.HeaderAt(Image, Section.Offset);
    ASSERT_NE(header, 0U);
    std::vector<std::string> damaged;
    for (const std::uint64_t offset : {std::uint64_t{Image.size()}, ~std::uint64_t{0}}) {
        damaged.push_back(Image); // contents that begin beyond the file
        PutLittle(damaged.back(), header + 0x18, offset);
    }
    for (const std::uint64_t size : {std::uint64_t{Image.size()}, ~std::uint64_t{0}}) {
        damaged.push_back(Image); // contents that run beyond the file
        PutLittle(damaged.back(), header + 0x20, size);
    }
    damaged.push_back(Image); // a name beyond the name table
    PutLittle(damaged.back(), header, 0xFFFFFFF0, 4);
    damaged.push_back(Image.substr(0, Section.Offset + Section.Size / 2)); // cut in the section
    damaged.push_back(Image); // a header table beyond the file
    PutLittle(damaged.back(), 0x28, Image.size() - 8);
    for (const std::string& image : damaged) {
        EXPECT_FALSE(appended_table::FindSection(image, appended_table::SectionName).has_value());
        std::string copy = image;
        EXPECT_NE(appended_table::Append(copy, ShippedLikeFiles()).Error, "");
        EXPECT_EQ(copy, image);
    }
}

TEST_F(LocatorTest, StrippedCopiesKeepTheTable) {
    const QStringList debian = {"--remove-section=.comment", "--remove-section=.note",
                                "--strip-unneeded"};
    for (const QStringList& flags : {debian, QStringList{}}) {
        const QString copy = Dir.filePath(QStringLiteral("stripped"));
        WriteAll(copy, QByteArray::fromStdString(Image));
        QFile::setPermissions(copy, QFile::permissions(copy) | QFileDevice::ExeOwner);
        ASSERT_EQ(QProcess::execute(QStringLiteral(I18N_STRIP), flags + QStringList{copy}), 0);
        const std::string stripped = ReadImage(copy);
        ASSERT_LT(stripped.size(), Image.size()) << "strip " << flags.join(' ').toStdString();

        // The installer's look at the stripped copy changes nothing.
        std::string installed = stripped;
        const auto result = appended_table::Append(installed, ShippedLikeFiles());
        EXPECT_EQ(result.Error, "");
        EXPECT_FALSE(result.Changed);

        TFileLocator locator(copy);
        locator.ScanTable(Int64At(stripped, appended_table::FindSignature(stripped).at(0) +
                                                appended_table::Signature().size()));
        QString expected;
        for (const auto& file : ShippedLikeFiles()) {
            const auto* info = locator.EmbeddedFile(QString::fromStdString(file.Name));
            ASSERT_NE(info, nullptr) << file.Name;
            EXPECT_EQ(stripped.substr(static_cast<std::size_t>(info->DataOffset),
                                      static_cast<std::size_t>(info->DataSize)),
                      file.Data);
            expected += QStringLiteral("%1 %2 %3\n")
                            .arg(QString::fromStdString(file.Name))
                            .arg(info->DataOffset)
                            .arg(info->DataSize);
        }
        // The stripped program finds the same through its own read-only data.
        QProcess program;
        program.start(copy, {});
        ASSERT_TRUE(program.waitForFinished(60000));
        EXPECT_EQ(QString::fromUtf8(program.readAllStandardOutput()), expected);
    }
}

TEST_F(LocatorTest, ScanFindsTheFiveNamesWithOffsetsAndSizes) {
    TFileLocator locator(Exe);
    locator.ScanTable(TableOffset);
    EXPECT_EQ(locator.ExecutableFolder(), Dir.path() + QLatin1Char('/'));
    const auto files = ShippedLikeFiles();
    EXPECT_EQ(locator.EmbeddedFileNames().size(), 5);
    auto offset = static_cast<std::int64_t>(Section.Offset);
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
