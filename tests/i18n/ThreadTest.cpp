// The parts of the i18n module that other threads reach, each exercised from
// two threads; run under ThreadSanitizer.

#include "tests/i18n/I18nTestSupport.h"

#include "i18n/ResourceStrings.h"
#include "i18n/TFileLocator.h"
#include "i18n/TGnuGettextInstance.h"
#include "i18n/gnugettext.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

using namespace gnugettext;
using namespace i18n_test;

// Two threads take and give back one catalog through the cache while this one
// counts the open catalogs: both share the one opened catalog, each can read
// it until it gives it back, and the last release closes it.
TEST(I18nThreads, CatalogCacheIsSharedByTwoThreads) {
    TFileLocator locator{QString()};
    const QString path = Catalog("en.mo");
    std::atomic<int> wrong{0};
    std::atomic<int> finished{0};
    const auto user = [&] {
        for (int i = 0; i < 300; ++i) {
            TMoFile* catalog = locator.AcquireCatalog(path);
            bool found = false;
            if (catalog->Lookup("Datei", found) != "File" || !found)
                ++wrong;
            locator.ReleaseCatalog(catalog);
        }
        ++finished;
    };
    std::thread first(user);
    std::thread second(user);
    int most = 0;
    while (finished.load() < 2) {
        most = std::max(most, locator.OpenCatalogCount());
        std::this_thread::yield();
    }
    first.join();
    second.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_LE(most, 1);
    EXPECT_EQ(locator.OpenCatalogCount(), 0);
}

// A resource string asked for on a worker thread: by record it stays German
// off the creating thread (the catalogs have no lock); by number it is
// translated, the list of resource-string domains read under its lock.
TEST(I18nThreads, ResourceStringsOnAWorkerThread) {
    const TScopedEnv lang("LANG", "en_US.UTF-8");
    TFakeDialogs dialogs;
    RegisterResourceStrings(kProgramStrings);
    GnuGettextModuleStart();
    GlobalEngine->SetDialogs(&dialogs);
    GlobalEngine->BindDomain(QStringLiteral("default"), Catalog("locale"));
    SelectLanguage(QStringLiteral("en"));
    EXPECT_EQ(LoadResourceText(&SUnbenannt), QStringLiteral("Unnamed"));
    QString onWorker;
    QString byNumberOnWorker;
    std::thread worker([&] {
        onWorker = LoadResourceText(&SUnbenannt);
        byNumberOnWorker = LoadResString(SUnbenannt.Identifier);
    });
    worker.join();
    EXPECT_EQ(onWorker, QStringLiteral("Unbenannt"));
    EXPECT_EQ(byNumberOnWorker, QStringLiteral("Unnamed"));
    EXPECT_TRUE(dialogs.Boxes.empty());
    GnuGettextModuleEnd();
    RegisterResourceStrings({});
}
