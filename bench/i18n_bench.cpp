// Lookups per second on a 64-entry catalog, and the time to retranslate a
// window built like the main window after a language switch.

#include "i18n/TFileLocator.h"
#include "i18n/TGnuGettextInstance.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QToolBar>
#include <QtEndian>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

using namespace gnugettext;

namespace {

const QString Locale = QStringLiteral(I18N_BENCH_LOCALE);

// The 63 message ids of the 64-entry catalog, read from its id table.
std::vector<QByteArray> CatalogIds() {
    QFile file(Locale + QStringLiteral("/en/LC_MESSAGES/default.mo"));
    const QByteArray mo = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    const auto word = [&mo](qsizetype at) {
        return qFromLittleEndian<std::uint32_t>(mo.constData() + at);
    };
    std::vector<QByteArray> ids;
    for (std::uint32_t i = 1; i < word(8); ++i)
        ids.push_back(mo.mid(word(word(12) + 8 * i + 4), word(word(12) + 8 * i)));
    return ids;
}

struct TEngine {
    TEngine() : Locator(QString{}), Engine(Locator) {
        Engine.BindDomain(QStringLiteral("default"), Locale);
        Engine.SelectLanguage(QStringLiteral("en"));
    }
    TFileLocator Locator;
    TGnuGettextInstance Engine;
};

QAction* AddAction(QMainWindow& window, QMenu* menu, const char* text, const char* hint) {
    auto* action = new QAction(QString::fromUtf8(text), &window);
    if (hint != nullptr)
        action->setToolTip(QString::fromUtf8(hint));
    menu->addAction(action);
    return action;
}

// Menus, actions with hints, tool bar, context menus, status panels and
// editor in the numbers of the main window.
void BuildMainWindow(QMainWindow& window) {
    window.setWindowTitle(QStringLiteral("Unbenannt - Brisquell"));
    window.setProperty("gnugettextIgnore", QStringList{QStringLiteral("windowTitle")});
    QMenuBar* bar = window.menuBar();
    QToolBar* tools = window.addToolBar(QStringLiteral("Werkzeuge"));
    QMenu* file = bar->addMenu(QStringLiteral("Datei"));
    for (const char* text : {"Neu", "Öffnen", "Speichern", "Speichern unter...", "Drucken",
                             "Drucker einstellen", "Beenden"})
        tools->addAction(AddAction(window, file, text, text));
    for (int i = 0; i < 5; ++i)
        AddAction(window, file, "1:   messung.txt", nullptr)
            ->setProperty("gnugettextIgnore", QStringList{QStringLiteral("*")});
    QMenu* edit = bar->addMenu(QStringLiteral("Bearbeiten"));
    QMenu* popup = new QMenu(&window);
    for (const char* text : {"Rückgängig", "Ausschneiden", "Kopieren", "Einfügen",
                             "Alles markieren", "Anzeige löschen"}) {
        tools->addAction(AddAction(window, edit, text, text));
        AddAction(window, popup, text, nullptr);
    }
    QMenu* device = bar->addMenu(QStringLiteral("Gerät"));
    for (const char* text :
         {"Manuell", "Velmarod (K10...K70)", "Velmarod K65 (USB)", "Velmarod (K101...K410)",
          "Velmarod PX (K200...K410)", "Velmarod K7X (Kabel)", "Zelvar (Kabel)",
          "Zelvar (Infrarotadapter an COM)", "Quintarion (Q40, Q41)",
          "Velmarod K7 / K7X (Infrarot)"})
        AddAction(window, device, text, nullptr)->setCheckable(true);
    QMenu* port = bar->addMenu(QStringLiteral("Schnittstelle"));
    for (const char* text : {"Verbinden", "Trennen", "Infrarot", "USB"})
        AddAction(window, port, text, text);
    QMenu* help = bar->addMenu(QStringLiteral("Hilfe"));
    AddAction(window, help, "Hilfe zu Brisquell", nullptr);
    QMenu* language = help->addMenu(QStringLiteral("Sprache"));
    for (const char* text : {"Deutsch", "Englisch", "Französisch"})
        AddAction(window, language, text, nullptr);
    AddAction(window, help, "Info", nullptr);
    for (const char* text : {"Getrennt", "COM3", "9600", "Manuell"}) {
        auto* panel = new QLabel(QString::fromUtf8(text));
        panel->setProperty("gnugettextIgnore", QStringList{QStringLiteral("*")});
        window.statusBar()->addWidget(panel);
    }
    auto* editor = new QPlainTextEdit(&window);
    editor->setProperty("gnugettextIgnore", QStringList{QStringLiteral("*")});
    window.setCentralWidget(editor);
}

void BM_MoFileLookup(benchmark::State& state) {
    const std::vector<QByteArray> ids = CatalogIds();
    TMoFile mo(Locale + QStringLiteral("/en/LC_MESSAGES/default.mo"), 0);
    std::size_t i = 0;
    for (auto _ : state) {
        bool found = false;
        benchmark::DoNotOptimize(mo.Lookup(ids[i], found));
        i = i + 1 == ids.size() ? 0 : i + 1;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MoFileLookup);

void BM_TranslateText(benchmark::State& state) {
    std::vector<QString> ids;
    for (const QByteArray& id : CatalogIds())
        ids.push_back(QString::fromUtf8(id));
    TEngine engine;
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(engine.Engine.Translate(ids[i]));
        i = i + 1 == ids.size() ? 0 : i + 1;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TranslateText);

void BM_RetranslateMainWindow(benchmark::State& state) {
    TEngine engine;
    QMainWindow window;
    BuildMainWindow(window);
    engine.Engine.TranslateComponent(&window, QString());
    bool french = false;
    for (auto _ : state) {
        french = !french;
        engine.Engine.SelectLanguage(french ? QStringLiteral("fr") : QStringLiteral("en"));
        engine.Engine.RetranslateComponent(&window);
    }
}
BENCHMARK(BM_RetranslateMainWindow)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
