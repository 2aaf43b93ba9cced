#include "tests/support/ChildProcess.h"

#include "tests/support/TestEnvironment.h"

#include <csignal>
#include <fcntl.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

TChildProcess::TChildProcess(const QString& program, const QStringList& arguments) {
    // Everything the child needs is made before the fork: after it, only
    // async-signal-safe calls are allowed in a threaded program.
    std::vector<std::string> words{program.toStdString()};
    for (const QString& argument : arguments)
        words.push_back(argument.toStdString());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    int input[2] = {-1, -1};
    int errors[2] = {-1, -1};
    if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(errors, O_CLOEXEC) != 0) {
        for (int fd : {input[0], input[1], errors[0], errors[1]})
            if (fd >= 0)
                ::close(fd);
        return;
    }
    const pid_t parent = ::getpid();
    FPid = ::fork();
    if (FPid == 0) {
        // A test that crashes must not leave the child holding the test
        // runner's output open: the runner would wait for it for good.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
        ::dup2(input[0], STDIN_FILENO);
        ::dup2(errors[1], STDERR_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(input[0]);
    ::close(errors[1]);
    FInput = input[1];
    FErrors = errors[0];
    ::fcntl(FErrors, F_SETFL, ::fcntl(FErrors, F_GETFL) | O_NONBLOCK);
    ::signal(SIGPIPE, SIG_IGN); // a child that is gone must not end the test
}

TChildProcess::~TChildProcess() {
    CloseInput();
    if (FPid > 0 && !WaitForExit(30000)) {
        ::kill(FPid, SIGKILL);
        ::waitpid(FPid, nullptr, 0);
    }
    if (FErrors >= 0)
        ::close(FErrors);
}

void TChildProcess::Write(const QByteArray& bytes) {
    qsizetype done = 0;
    while (FInput >= 0 && done < bytes.size()) {
        const ssize_t n =
            ::write(FInput, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n <= 0)
            return;
        done += n;
    }
}

void TChildProcess::CloseInput() {
    if (FInput >= 0)
        ::close(FInput);
    FInput = -1;
}

const QByteArray& TChildProcess::Errors() {
    char buffer[4096];
    ssize_t n = 0;
    while (FErrors >= 0 && (n = ::read(FErrors, buffer, sizeof buffer)) > 0)
        FCollected.append(buffer, n);
    return FCollected;
}

bool TChildProcess::WaitForExit(int timeoutMs) {
    if (FPid <= 0)
        return true;
    int status = 0;
    const bool ended = testing_support::WaitFor(
        [&] {
            Errors(); // keep the pipe from filling up
            return ::waitpid(FPid, &status, WNOHANG) == FPid;
        },
        timeoutMs);
    if (ended && WIFEXITED(status))
        FExitCode = WEXITSTATUS(status);
    if (ended)
        FPid = -1;
    return ended;
}
