#pragma once

class QDialog;
class QString;

// What the program asks of the desktop: open a file or a link with the
// program the desktop associates with it, and run a box modally. Tests put
// a scripted one in its place, so nothing opens and nothing blocks.
class TShell {
public:
    virtual ~TShell() = default;
    // A bare file name is looked for in the current folder. Failures are
    // not reported: a missing help file or mail program says nothing.
    virtual void Open(const QString& target) = 0;
    virtual void ShowModal(QDialog& dialog) = 0;
};

// The desktop's own services.
class TDesktopShell : public TShell {
public:
    void Open(const QString& target) override;
    void ShowModal(QDialog& dialog) override;
};
