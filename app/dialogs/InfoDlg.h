#pragma once

#include <QDialog>

class TShell;

// The about box: product, edition, version, rights notice and the maker's
// contact block. Each showing is a fresh instance that frees itself when
// it closes.
class TAbout : public QDialog {
    Q_OBJECT
public:
    TAbout(TShell& shell, QWidget* owner);

    void FormCreate(QObject* Sender);
    void FormClose(QObject* Sender);
    void BitBtn1Click(QObject* Sender);
    void EMAILClick(QObject* Sender);

    // The maker's address, the target of the "Kontakt" button.
    static const char* const ContactAddress;

    void done(int result) override;

private:
    void BuildForm();

    TShell& FShell;
};
