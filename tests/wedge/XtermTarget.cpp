#include "tests/wedge/XtermTarget.h"

#include "tests/support/TestEnvironment.h"
#include "wedge/Xlib.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <csignal>

namespace {

const QString Title = QStringLiteral("brisquell-typing-target");

// What a command prints, through a file: the child processes of the tests
// keep only their standard error.
QByteArray Output(const QString& command) {
    QTemporaryDir folder;
    const QString file = folder.path() + "/out";
    TChildProcess shell("/bin/sh", {"-c", command + " >'" + file + "'"});
    if (!shell.WaitForExit(60000))
        return {};
    QFile out(file);
    return out.open(QIODevice::ReadOnly) ? out.readAll() : QByteArray();
}

// Gives the window the keyboard focus through Xlib's XSetInputFocus.
bool FocusWindow(xlib::Window window) {
    wedge::TXlib x;
    if (x.Load())
        return false;
    using SetFocus = int (*)(xlib::Display*, xlib::Window, int, unsigned long);
    const auto setFocus = reinterpret_cast<SetFocus>(x.Symbol("XSetInputFocus"));
    xlib::Display* display = x.XOpenDisplay(nullptr);
    if (display == nullptr)
        return false;
    constexpr int RevertToParent = 2;
    if (setFocus != nullptr)
        setFocus(display, window, RevertToParent, 0);
    x.XSync(display, 0);
    x.XCloseDisplay(display);
    return setFocus != nullptr;
}

} // namespace

TXtermTarget::TXtermTarget() : FFile(FFolder.path() + "/typed") {
    const QString xterm = QStandardPaths::findExecutable("xterm");
    if (qEnvironmentVariableIsEmpty("DISPLAY") || xterm.isEmpty()) {
        FFailure = "needs an X server and xterm";
        return;
    }
    FXterm = std::make_unique<TChildProcess>(xterm, QStringList{"-title", Title, "-geometry",
                                                                "80x10+20+20", "-e", "/bin/sh",
                                                                "-c", "exec cat >'" + FFile + "'"});
    if (!testing_support::WaitFor([&] { return QFile::exists(FFile); }, 60000)) {
        FFailure = "xterm did not start: " + QString::fromLocal8Bit(FXterm->Errors());
        return;
    }
    // Focus can only go to a window on the screen: the shell may run
    // before the window manager has framed and shown the window.
    QByteArray info;
    testing_support::WaitFor(
        [&] {
            info = Output("xwininfo -name '" + Title + "'");
            return info.contains("IsViewable");
        },
        60000);
    const auto id = QRegularExpression("Window id: (0x[0-9a-f]+)").match(QString(info));
    FWindow = id.hasMatch() ? id.captured(1).toULong(nullptr, 16) : 0;
    if (!Focus())
        FFailure = "could not give the xterm the focus: " + QString(info);
}

bool TXtermTarget::Focus() const {
    return FWindow != 0 && FocusWindow(FWindow);
}

TXtermTarget::~TXtermTarget() {
    if (FXterm && FXterm->Started())
        ::kill(FXterm->Pid(), SIGTERM);
}

QByteArray TXtermTarget::Typed() const {
    QFile file(FFile);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

qint64 TXtermTarget::TypedSize() const {
    return QFileInfo(FFile).size();
}

QByteArray TXtermTarget::KeyboardMap() {
    return Output("xmodmap -pke");
}
