#pragma once

#include "app/dialogs/FileDialogs.h"
#include "app/window/TMainScreen.h"

#include <QPrinter>
#include <QStringList>

#include <deque>
#include <functional>

// Scripted answers for the file and print dialogs: a file name chosen (an
// empty one cancels), a print dialog confirmed onto a PDF file (an empty
// path cancels). Records which dialogs were shown, and runs a check while
// each one is up.
class TFakeFileDialogs : public TFileDialogs {
public:
    bool ExecuteOpen(TFileDialogInfo& dialog) override { return File("Open", dialog); }
    bool ExecuteSave(TFileDialogInfo& dialog) override { return File("Save", dialog); }
    bool ExecutePrint(QPrinter& printer) override {
        Shown.append("Print");
        WhileShown();
        const QString pdf = Take();
        if (pdf.isEmpty())
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    }
    bool ExecutePrinterSetup(QPrinter&) override {
        Shown.append("PrinterSetup");
        WhileShown();
        return !Take().isEmpty();
    }

    std::deque<QString> Answers;
    QStringList Shown;
    QStringList InitialDirs;
    std::function<void()> WhileShown = [] {};

private:
    bool File(const char* kind, TFileDialogInfo& dialog) {
        Shown.append(kind);
        InitialDirs.append(dialog.InitialDir);
        WhileShown();
        const QString name = Take();
        if (name.isEmpty())
            return false;
        dialog.FileName = name;
        return true;
    }
    QString Take() {
        if (Answers.empty())
            return {};
        QString answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
};
