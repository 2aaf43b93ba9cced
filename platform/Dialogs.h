#pragma once

#include <QString>

namespace platform {

// Message box flags and answers, with the values of the Windows API so that
// callers can pass the combinations the program was designed with.
enum : unsigned {
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_YESNOCANCEL = 0x3,
    MB_YESNO = 0x4,
    MB_ICONERROR = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONWARNING = 0x30,
    MB_ICONINFORMATION = 0x40,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

// Message boxes go through this seam: the real implementation shows Qt
// dialogs, tests script the answers, so no test ever blocks on a modal box.
// Other dialogs get a seam of their own in the module that owns them, so this
// floor never learns of the floors above it.
class TDialogs {
public:
    virtual ~TDialogs() = default;

    // A message box; returns one of the ID* answers (IDCANCEL when closed).
    virtual int MessageBox(const QString& text, const QString& caption, unsigned flags) = 0;

    // The application's standard error box for an exception that escaped a
    // command or handler.
    virtual void ShowException(const QString& message) = 0;
};

} // namespace platform
