#pragma once

#include <QApplication>

namespace platform {
class TDialogs;
}

// The application object: one place catches an exception that escapes an
// event handler and shows it in the error box; the program goes on.
class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);

    void SetDialogs(platform::TDialogs* dialogs) { FDialogs = dialogs; }
    bool notify(QObject* receiver, QEvent* event) override;

private:
    platform::TDialogs* FDialogs = nullptr;
};
