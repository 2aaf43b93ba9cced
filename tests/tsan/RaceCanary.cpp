// A data race planted on purpose, for ThreadSanitizer builds only: two
// threads started by QThread write one plain int, through a signal's slot
// ("signal") or through a QList ("container"), with no synchronisation.
// scripts/test runs it with the suppressions the TSan run uses and expects
// the race reported: suppressions that keep Qt's own uninstrumented code
// quiet must not hide races in this program's code.
//   tsan_race_canary signal|container
#include <QCoreApplication>
#include <QList>
#include <QObject>
#include <QThread>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

namespace {

class TRaceSignal : public QObject {
    Q_OBJECT
signals:
    void Bump();
};

// Runs the step in two threads at once, many times each.
void InTwoThreads(const std::function<void()>& step) {
    auto work = [&step] {
        for (int i = 0; i < 10000; ++i)
            step();
    };
    std::unique_ptr<QThread> first(QThread::create(work));
    std::unique_ptr<QThread> second(QThread::create(work));
    first->start();
    second->start();
    first->wait();
    second->wait();
}

int WriteThroughSignal() {
    TRaceSignal sender;
    int count = 0;
    QObject::connect(
        &sender, &TRaceSignal::Bump, &sender, [&count] { ++count; }, Qt::DirectConnection);
    InTwoThreads([&sender] { emit sender.Bump(); });
    return count;
}

int WriteThroughContainer() {
    QList<int> counts(1, 0);
    InTwoThreads([&counts] { ++counts[0]; });
    return counts.at(0);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const char* mode = argc > 1 ? argv[1] : "";
    int count = 0;
    if (std::strcmp(mode, "signal") == 0)
        count = WriteThroughSignal();
    else if (std::strcmp(mode, "container") == 0)
        count = WriteThroughContainer();
    else {
        std::fprintf(stderr, "usage: tsan_race_canary signal|container\n");
        return 2;
    }
    std::printf("%d\n", count);
    return 0;
}

#include "RaceCanary.moc"
