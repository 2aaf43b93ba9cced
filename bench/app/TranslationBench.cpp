// A language switch of the real main window: the engine changes language and
// the window is retranslated from its remembered German texts.
#include "app/window/TMainScreen.h"

#include "bench/app/BenchSupport.h"
#include "i18n/gnugettext.h"
#include <QPlainTextEdit>

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

void BM_RetranslateMainScreen(benchmark::State& state) {
    TSilentDialogs dialogs;
    TMainScreen window(dialogs);
    const QString languages[] = {QStringLiteral("en"), QStringLiteral("fr"), QStringLiteral("de")};
    int next = 0;
    for (auto _ : state) {
        gnugettext::SelectLanguage(languages[next++ % 3]);
        gnugettext::RetranslateComponent(&window);
    }
    window.findChild<QPlainTextEdit*>("Editor")->document()->setModified(false);
}
BENCHMARK(BM_RetranslateMainScreen)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    ::setenv("LANG", "de_DE.UTF-8", 1);
    return RunWindowBenchmarks(argc, argv, [](const std::function<void()>& run) {
        GnuGettextModuleStart();
        run();
        GnuGettextModuleEnd();
    });
}
