// The document: its name, caption and recent-files drop-down; new, open,
// save, save as, print, clear screen and the unsaved-changes question.
#include "app/window/TMainScreen.h"

#include "app/capture/EditorInserter.h"
#include "app/document/DocumentFile.h"
#include "app/document/RecentFiles.h"
#include "app/texts/FileTexts.h"
#include "app/texts/Texts.h"
#include "app/window/Abort.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTextCursor>

#include <algorithm>

void TMainScreen::SetFileName(const QString& name, bool addToRecent) {
    CurrentFileName = name;
    FUntitled = name == UntitledName();
    UpdateCaption();
    TRecentFiles recent(Settings.Files);
    if (addToRecent)
        recent.Add(name, UntitledName());
    for (int i = 0; i < TRecentFiles::Count; ++i) {
        QAction* item = FileItems[static_cast<size_t>(i)];
        // A "&" in a file name is text, not an accelerator mark.
        item->setText(QString(recent.Caption(i)).replace(QLatin1Char('&'), QStringLiteral("&&")));
        item->setVisible(recent.Visible(i));
        item->setEnabled(recent.Visible(i));
    }
}

void TMainScreen::UpdateCaption() {
    setWindowTitle(QStringLiteral("%1 - %2").arg(QFileInfo(CurrentFileName).fileName(),
                                                 QCoreApplication::applicationName()));
}

void TMainScreen::CheckFileSave() {
    FInserter->Flush();
    if (!Editor->document()->isModified())
        return;
    const int answer =
        FDialogs.MessageBox(WithName("Änderung in %s speichern ?", CurrentFileName), QString(),
                            platform::MB_YESNOCANCEL | platform::MB_ICONQUESTION);
    if (answer == platform::IDYES) {
        act_file_saveExecute(Action("act_file_save"));
        // Save As cancelled or the overwrite declined: the text is not safe,
        // so the caller must not discard it.
        if (Editor->document()->isModified())
            throw EAbort();
    } else if (answer == platform::IDNO) {
        Editor->document()->setModified(false);
    } else {
        throw EAbort();
    }
}

void TMainScreen::closeEvent(QCloseEvent* event) {
    // The links stop before the question, as they do at the end: a reading
    // that came after a Yes had saved would be in neither the file nor the
    // journal, which a clean end removes. Cancel takes them up again.
    const bool connected = FConnection->Connected();
    const bool listening = State.IrDAReady;
    FLinksStopped = true;
    CloseIrDAListener();
    act_interface_disconneced->trigger();
    bool mayClose = false;
    RunGuarded([&] {
        CheckFileSave();
        mayClose = true;
    });
    if (!mayClose) {
        event->ignore();
        RunGuarded([&] { RestartLinks(connected, listening); });
        return;
    }
    QMainWindow::closeEvent(event);
}

void TMainScreen::PerformFileOpen(const QString& name) {
    CheckFileSave();
    QByteArray bytes;
    // A folder, a pipe or a device is named for what it is; only a file
    // that is not there is "nicht vorhanden".
    if (const platform::TFileError error = platform::ReadRegularFile(name, bytes)) {
        FDialogs.MessageBox(ReadFailureText(QFileInfo(name).fileName(), error), QString(),
                            platform::MB_OK);
        return;
    }
    const TDocumentText document = DecodeDocument(bytes);
    Editor->setPlainText(GroupLines(document.Text));
    FUtf8Document = document.Utf8;
    FSeriesView->Restart();
    SetFileName(name, false);
    Editor->setFocus();
    Editor->document()->setModified(false);
}

void TMainScreen::DropDownFileOpen(QObject* Sender) {
    // The link runs on: what arrives while the question is up goes into the
    // document this leaves.
    const TCaptureSession::THold held(FSession);
    const int index = Sender->property("Tag").toInt();
    if (index >= 0 && index < TRecentFiles::Count)
        PerformFileOpen(Settings.Files[static_cast<size_t>(index)]);
}

void TMainScreen::act_file_newExecute(QObject*) {
    const TCaptureSession::THold held(FSession); // as for the drop-down
    CheckFileSave();
    SetFileName(UntitledName(), false);
    Editor->clear();
    FUtf8Document = false;
    FSeriesView->Restart();
    Editor->document()->setModified(false);
}

void TMainScreen::act_file_openExecute(QObject*) {
    // A paused link may still deliver (a converter's, an infrared peer's).
    const TCaptureSession::THold held(FSession);
    const TLinkPause paused(*this);
    CheckFileSave();
    if (!FFileDialogs->ExecuteOpen(*OpenDialog))
        return;
    PerformFileOpen(OpenDialog->FileName);
    Editor->setReadOnly(false); // the dialog offers no read-only choice
}

void TMainScreen::act_file_saveExecute(QObject* Sender) {
    if (FUntitled) {
        act_file_saveasExecute(Sender);
        return;
    }
    WriteDocument(CurrentFileName);
    Editor->document()->setModified(false);
}

void TMainScreen::act_file_saveasExecute(QObject*) {
    const TLinkPause paused(*this);
    const QString name =
        ChooseSaveName(*FFileDialogs, *SaveDialog, QStringLiteral(".txt"), FDialogs);
    if (name.isEmpty())
        return;
    WriteDocument(name);
    SetFileName(name, true);
    Editor->document()->setModified(false);
}

void TMainScreen::WriteDocument(const QString& name) {
    FInserter->Flush();
    // The editor keeps its lines apart with paragraph (and line) separators;
    // on disk each is a line end.
    const TDocumentText document{UngroupLines(Editor->document()->toRawText()), FUtf8Document};
    WriteDocumentFile(name, EncodeDocument(document));
    FUtf8Document = NeedsUtf8(document);
}

void TMainScreen::act_file_printersetupExecute(QObject*) {
    const TLinkPause paused(*this);
    FPrinter.Setup();
}

void TMainScreen::act_file_printExecute(QObject*) {
    const TLinkPause paused(*this);
    // A hand-edited settings file may hold any number; the saved value stays.
    FPrinter.Print(*Editor, std::clamp(Settings.LeftSpace, 0, 255));
}

void TMainScreen::PrintClick(QObject*) {
    const TLinkPause paused(*this);
    FPrinter.Print(*Editor, 0);
}

void TMainScreen::act_edit_clearExecute(QObject*) {
    if (FDialogs.MessageBox(Translated("Anzeige wirklich löschen ?"), QString(),
                            platform::MB_OKCANCEL | platform::MB_ICONQUESTION) != platform::IDOK)
        return;
    // Through the cursor, so the readings count as changed text that the
    // unsaved-changes question still guards, and Undo can bring them back.
    QTextCursor cursor(Editor->document());
    cursor.select(QTextCursor::Document);
    cursor.removeSelectedText();
    FSeriesView->Restart(); // Undo brings the text back, not the series
}
