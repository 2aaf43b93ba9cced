#pragma once

// What the main-window benchmarks share: dialogs that answer at once, and a
// main that runs them offscreen with settings, journals and the infrared
// service's runtime folder away from the user's.

#include "platform/Dialogs.h"
#include "tests/support/ScopedEnv.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <functional>

class TSilentDialogs : public platform::TDialogs {
public:
    int MessageBox(const QString&, const QString&, unsigned) override { return platform::IDOK; }
    void ShowException(const QString&) override {}
};

// Runs the registered benchmarks inside a QApplication; around() wraps the
// run (module start and end).
inline int RunWindowBenchmarks(
    int argc, char** argv,
    const std::function<void(const std::function<void()>&)>& around =
        [](const std::function<void()>& run) { run(); }) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const TTemporaryConfigHome config;
    const QTemporaryDir runtime; // made with mode 0700, as the listener asks
    const TScopedEnv runtimeEnv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()).constData());
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    around([] { benchmark::RunSpecifiedBenchmarks(); });
    benchmark::Shutdown();
    return 0;
}
