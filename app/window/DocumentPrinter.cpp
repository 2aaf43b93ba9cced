#include "app/window/DocumentPrinter.h"

#include "app/dialogs/FileDialogs.h"
#include "app/document/PrintLayout.h"

#include <QPlainTextEdit>

TDocumentPrinter::TDocumentPrinter(std::function<TFileDialogs&()> dialogs,
                                   std::function<void()> beforePrinting)
    : FDialogs(std::move(dialogs)), FBeforePrinting(std::move(beforePrinting)) {}

TDocumentPrinter::~TDocumentPrinter() = default;

QPrinter& TDocumentPrinter::Printer() {
    if (!FPrinter)
        FPrinter = std::make_unique<QPrinter>();
    return *FPrinter;
}

void TDocumentPrinter::Setup() {
    FDialogs().ExecutePrinterSetup(Printer());
}

void TDocumentPrinter::Print(const QPlainTextEdit& editor, int indent) {
    if (!FDialogs().ExecutePrint(Printer()))
        return;
    FBeforePrinting();
    PrintText(Printer(), editor.font(), PrintStream(DisplayLines(*editor.document()), indent));
}
