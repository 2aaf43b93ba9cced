#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

namespace platform {
class TDialogs;
}
class QFileDialog;
class QPrinter;
class QWidget;

// The state of a common file dialog between two showings: its filter, the
// folder it starts in and the name chosen last.
class TFileDialogInfo : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Filter MEMBER Filter)
public:
    TFileDialogInfo(const QString& name, const QString& filter, QObject* owner);
    QString Filter;
    QString InitialDir; // not a design text: kept out of the translation walk
    QString FileName;
};

// The main window's file, print and printer set-up dialogs go through this
// seam: the real one shows Qt dialogs, tests script the answers, so no test
// ever blocks on a modal dialog.
class TFileDialogs {
public:
    virtual ~TFileDialogs() = default;

    // On confirmation the chosen name is in dialog.FileName.
    virtual bool ExecuteOpen(TFileDialogInfo& dialog) = 0;
    virtual bool ExecuteSave(TFileDialogInfo& dialog) = 0;
    // The dialogs set up the printer that the next print job uses.
    virtual bool ExecutePrint(QPrinter& printer) = 0;
    virtual bool ExecutePrinterSetup(QPrinter& printer) = 0;
};

// Qt's name filters for a filter of the form "label|pattern|label|pattern":
// Qt filters by the patterns in parentheses at the end of a label, so each
// label that does not already end with its own pattern gets it appended.
QStringList NameFilters(const QString& filter);

// The file dialog as the window's dialogs are designed: the filter, the
// initial folder and the last name; an open dialog without a read-only
// choice, a save dialog that leaves the overwrite question to its caller;
// patterns matched without regard to case.
void SetUpFileDialog(QFileDialog& dialog, const TFileDialogInfo& info, bool save);

class TQtFileDialogs : public TFileDialogs {
public:
    explicit TQtFileDialogs(QWidget* owner) : FOwner(owner) {}

    bool ExecuteOpen(TFileDialogInfo& dialog) override;
    bool ExecuteSave(TFileDialogInfo& dialog) override;
    bool ExecutePrint(QPrinter& printer) override;
    bool ExecutePrinterSetup(QPrinter& printer) override;

private:
    bool ExecuteFile(TFileDialogInfo& dialog, bool save);

    QWidget* FOwner;
};

// Shows the save dialog; the name chosen, with extension added when it has
// none, once the user agreed to replace a file of that name. Empty when the
// user cancelled either.
QString ChooseSaveName(TFileDialogs& files, TFileDialogInfo& dialog, const QString& extension,
                       platform::TDialogs& boxes);
