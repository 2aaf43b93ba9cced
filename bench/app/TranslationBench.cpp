// A language switch of the real main window: the engine changes language and
// the window is retranslated from its remembered German texts.
#include "app/TMainScreen.h"

#include "i18n/gnugettext.h"
#include "platform/Dialogs.h"
#include <QPlainTextEdit>

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

class TSilentDialogs : public platform::TDialogs {
public:
    int MessageBox(const QString&, const QString&, unsigned) override { return platform::IDOK; }
    void ShowException(const QString&) override {}
};

void BM_RetranslateMainScreen(benchmark::State& state) {
    TSilentDialogs dialogs;
    TMainScreen window(dialogs);
    const QString languages[] = {QStringLiteral("en"), QStringLiteral("fr"), QStringLiteral("de")};
    int next = 0;
    for (auto _ : state) {
        gnugettext::SelectLanguage(languages[next++ % 3]);
        gnugettext::RetranslateComponent(&window);
    }
    window.Editor->document()->setModified(false);
}
BENCHMARK(BM_RetranslateMainScreen)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    char folder[] = "/tmp/brisquell-bench-XXXXXX";
    if (::mkdtemp(folder) != nullptr)
        ::setenv("XDG_CONFIG_HOME", folder, 1);
    ::setenv("LANG", "de_DE.UTF-8", 1);
    QApplication application(argc, argv);
    GnuGettextModuleStart();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    GnuGettextModuleEnd();
    return 0;
}
