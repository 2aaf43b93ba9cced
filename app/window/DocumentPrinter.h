#pragma once

#include <QPrinter>

#include <functional>
#include <memory>

class QPlainTextEdit;
class TFileDialogs;

// The document's printer and its two commands. The printer is made the first
// time it is needed: making one asks the print system, which the start
// should not wait for.
class TDocumentPrinter {
public:
    // dialogs: the print dialogs in use; beforePrinting puts the readings
    // received so far into the editor.
    TDocumentPrinter(std::function<TFileDialogs&()> dialogs, std::function<void()> beforePrinting);
    ~TDocumentPrinter();

    void Setup();
    // Asks for the printer, then prints the editor's lines indent spaces in.
    void Print(const QPlainTextEdit& editor, int indent);

private:
    QPrinter& Printer();

    std::function<TFileDialogs&()> FDialogs;
    std::function<void()> FBeforePrinting;
    std::unique_ptr<QPrinter> FPrinter;
};
