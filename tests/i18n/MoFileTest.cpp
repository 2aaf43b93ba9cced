#include "tests/i18n/I18nTestSupport.h"

#include "i18n/GnuGettextErrors.h"
#include "i18n/TMoFile.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <future>
#include <map>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

using gnugettext::EGGIOError;
using gnugettext::TMoFile;
using namespace i18n_test;

namespace {

QByteArray Find(const TMoFile& mo, const QByteArray& id, bool& found) {
    return mo.Lookup(id, found).toByteArray();
}

QString IoErrorOf(const QString& path, std::int64_t offset = 0) {
    return MessageOf<EGGIOError>([&] { TMoFile mo(path, offset); });
}

// A little-endian catalog of sorted ids, each translated as "<id>=".
QByteArray BuildCatalog(const std::vector<QByteArray>& ids) {
    const auto n = static_cast<std::uint32_t>(ids.size());
    QByteArray out(20 + 16 * n, '\0');
    const auto put = [&out](std::uint32_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out[at + i] = static_cast<char>(v >> (8 * i) & 0xFF);
    };
    put(0, 0x950412DE);
    put(8, n);
    put(12, 20);
    put(16, 20 + 8 * n);
    for (std::uint32_t i = 0; i < n; ++i) {
        put(20 + 8 * i, static_cast<std::uint32_t>(ids[i].size()));
        put(24 + 8 * i, static_cast<std::uint32_t>(out.size()));
        out += ids[i] + '\0';
        const QByteArray text = ids[i] + '=';
        put(20 + 8 * n + 8 * i, static_cast<std::uint32_t>(text.size()));
        put(24 + 8 * n + 8 * i, static_cast<std::uint32_t>(out.size()));
        out += text + '\0';
    }
    return out;
}

class MoFileTest : public ::testing::Test {
protected:
    QString Write(const QByteArray& data) {
        const QString path = Dir.filePath(QStringLiteral("c%1.mo").arg(++Count));
        WriteAll(path, data);
        return path;
    }
    QTemporaryDir Dir;
    int Count = 0;
};

} // namespace

TEST_F(MoFileTest, FindsEveryEntryOfBothByteOrders) {
    const QByteArray little = ReadAll(Catalog("en.mo"));
    const auto entries = Entries(little);
    ASSERT_EQ(entries.size(), 64u);
    for (const char* name : {"en.mo", "en-big.mo"}) {
        TMoFile mo(Catalog(name), 0);
        EXPECT_EQ(mo.SwapBytes, QByteArray(name) == "en-big.mo");
        EXPECT_EQ(mo.EntryCount, 64u);
        EXPECT_EQ(mo.SearchStart, 64u);
        EXPECT_EQ(mo.SearchStep, 32u);
        for (const auto& [id, translation] : entries) {
            bool found = false;
            EXPECT_EQ(Find(mo, id, found), translation) << name << ": " << id.constData();
            EXPECT_TRUE(found) << name << ": " << id.constData();
        }
    }
}

TEST_F(MoFileTest, PrefixAndOutOfRangeIds) {
    TMoFile mo(Catalog("en.mo"), 0);
    bool found = false;
    EXPECT_EQ(Find(mo, "Speichern", found), "Save");
    EXPECT_EQ(Find(mo, "Speichern unter...", found), "Save as...");
    EXPECT_EQ(Find(mo, "Speicher", found), "Speicher");
    EXPECT_FALSE(found);
    // Entry 1 is the header, entry 2 the smallest id ("12345 ..."); "0" lies
    // between them. "\xC3\xBF" (ÿ) sorts after the last id ("Ü...").
    EXPECT_EQ(Find(mo, "0", found), "0");
    EXPECT_FALSE(found);
    EXPECT_EQ(Find(mo, "\xC3\xBF", found), "\xC3\xBF");
    EXPECT_FALSE(found);
    EXPECT_TRUE(Find(mo, "", found).contains("Content-Type: text/plain; charset=UTF-8"));
    EXPECT_TRUE(found);
}

TEST_F(MoFileTest, SearchFindsAllIdsForEveryCount) {
    for (std::uint32_t n = 1; n <= 140; ++n) {
        std::vector<QByteArray> ids;
        for (std::uint32_t i = 0; i < n; ++i)
            ids.push_back(QByteArray::number(1000 + 2 * i)); // same length, sorted
        TMoFile mo(Write(BuildCatalog(ids)), 0);
        for (std::uint32_t i = 0; i < n; ++i) {
            bool found = false;
            EXPECT_EQ(Find(mo, ids[i], found), ids[i] + '=') << "N=" << n;
            const QByteArray between = QByteArray::number(1001 + 2 * i);
            EXPECT_EQ(Find(mo, between, found), between);
            EXPECT_FALSE(found);
        }
    }
    TMoFile one(Write(BuildCatalog({"a"})), 0);
    EXPECT_EQ(one.SearchStart, 1u);
    EXPECT_EQ(one.SearchStep, 0u);
    TMoFile seven(Write(BuildCatalog({"a", "b", "c", "d", "e", "f", "g"})), 0);
    EXPECT_EQ(seven.SearchStart, 4u);
    EXPECT_EQ(seven.SearchStep, 2u);
}

TEST_F(MoFileTest, ReadsCatalogAtDataOffset) {
    const QByteArray catalog = ReadAll(Catalog("en.mo"));
    const QString path = Write(QByteArray(777, 'x') + catalog + QByteArray(50, 'y'));
    TMoFile mo(path, 777);
    bool found = false;
    EXPECT_EQ(Find(mo, "Datei", found), "File");
    EXPECT_TRUE(found);
}

TEST_F(MoFileTest, FailureMessages) {
    const QString missing = Dir.filePath(QStringLiteral("missing.mo"));
    EXPECT_EQ(IoErrorOf(missing), QStringLiteral("Cannot open file ") + missing);
    const QString empty = Write({});
    EXPECT_EQ(IoErrorOf(empty), QStringLiteral("Cannot create memory map on file ") + empty);
    // Not a regular file: refused at once, where opening a pipe with no
    // writer would wait for one forever.
    const QString pipe = Dir.filePath(QStringLiteral("pipe.mo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    auto refusal = std::async(std::launch::async, [&] { return IoErrorOf(pipe); });
    if (refusal.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
        // Release the waiting open so that the test ends.
        const int writer = ::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK);
        refusal.wait();
        ::close(writer);
        FAIL() << "opening a pipe as a catalog waits for a writer";
    }
    EXPECT_EQ(refusal.get(), QStringLiteral("Cannot create memory map on file ") + pipe);
    const QString junk = Write("This is no catalog at all, just text.");
    EXPECT_EQ(IoErrorOf(junk),
              QStringLiteral("This file is not a valid GNU gettext mo file: ") + junk);
}

TEST_F(MoFileTest, RejectsCorruptCountsAndOffsets) {
    const QByteArray good = ReadAll(Catalog("en.mo"));
    const auto patched = [&good](int at, std::uint32_t value) {
        QByteArray bad = good;
        for (int i = 0; i < 4; ++i)
            bad[at + i] = static_cast<char>(value >> (8 * i) & 0xFF);
        return bad;
    };
    const std::map<const char*, QByteArray> cases = {
        {"no entries", patched(8, 0)},
        {"huge count", patched(8, 0x20000000)},
        {"id table past the end", patched(12, static_cast<std::uint32_t>(good.size()))},
        {"translation table past the end", patched(16, 0xFFFFFFF0)},
        {"id string past the end", patched(0x1C + 12, static_cast<std::uint32_t>(good.size()))},
        {"translation longer than the file", patched(0x21C + 8, 0xFFFFFF00)},
        {"cut in the tables", good.left(300)},
        {"cut in the header", good.left(12)},
    };
    for (const auto& [what, bytes] : cases) {
        const QString path = Write(bytes);
        EXPECT_EQ(IoErrorOf(path),
                  QStringLiteral("This file is not a valid GNU gettext mo file: ") + path)
            << what;
    }
    const QString path = Write(good);
    EXPECT_TRUE(IoErrorOf(path, good.size() + 1).startsWith(QStringLiteral("This file is not")));
    EXPECT_TRUE(IoErrorOf(path, -1).startsWith(QStringLiteral("This file is not")));
}

// Random damage never crashes or reads outside the file (the sanitizer build
// checks the latter): either the catalog is refused, or it answers.
TEST_F(MoFileTest, SurvivesRandomDamage) {
    const QByteArray good = ReadAll(Catalog("en.mo"));
    const auto entries = Entries(good);
    std::mt19937 random(20240607);
    int refused = 0;
    for (int round = 0; round < 1500; ++round) {
        QByteArray bad = good;
        const int changes = 1 + static_cast<int>(random() % 8);
        for (int c = 0; c < changes; ++c) {
            // Mostly the header and tables, where damage matters.
            const auto limit = static_cast<std::uint32_t>(random() % 4 == 0 ? bad.size() : 0x420);
            bad[random() % limit] = static_cast<char>(random() & 0xFF);
        }
        if (random() % 10 == 0)
            bad.truncate(static_cast<qsizetype>(random() % good.size()));
        const QString path = Write(bad);
        try {
            TMoFile mo(path, 0);
            bool found = false;
            for (const auto& entry : entries)
                (void)mo.Lookup(entry.first, found);
            (void)mo.Lookup("\xFF\xFF", found);
        } catch (const EGGIOError& error) {
            ++refused;
            EXPECT_TRUE(error.Message().contains(path));
        }
        QFile::remove(path);
    }
    EXPECT_GT(refused, 0);
}
