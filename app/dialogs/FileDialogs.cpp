#include "app/dialogs/FileDialogs.h"

#include "app/texts/FileTexts.h"
#include "platform/Dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>

TFileDialogInfo::TFileDialogInfo(const QString& name, const QString& filter, QObject* owner)
    : QObject(owner), Filter(filter) {
    setObjectName(name);
}

QStringList NameFilters(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& label = parts[i];
        const QString patterns = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        const QString own = QStringLiteral("(%1)").arg(patterns);
        filters << (label.endsWith(own) ? label : label + QLatin1Char(' ') + own);
    }
    return filters;
}

void SetUpFileDialog(QFileDialog& dialog, const TFileDialogInfo& info, bool save) {
    // Qt's own dialog, whose filters honour the case setting below; it has
    // no read-only box to hide.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, save);
    dialog.setNameFilters(NameFilters(info.Filter));
    dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
    dialog.setDirectory(info.InitialDir.isEmpty() ? QDir::currentPath() : info.InitialDir);
    if (!info.FileName.isEmpty())
        dialog.selectFile(QFileInfo(info.FileName).fileName());
}

bool TQtFileDialogs::ExecuteFile(TFileDialogInfo& info, bool save) {
    QFileDialog dialog(FOwner);
    SetUpFileDialog(dialog, info, save);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    info.FileName = dialog.selectedFiles().constFirst();
    return true;
}

bool TQtFileDialogs::ExecuteOpen(TFileDialogInfo& dialog) {
    return ExecuteFile(dialog, false);
}

bool TQtFileDialogs::ExecuteSave(TFileDialogInfo& dialog) {
    return ExecuteFile(dialog, true);
}

bool TQtFileDialogs::ExecutePrint(QPrinter& printer) {
    QPrintDialog dialog(&printer, FOwner);
    return dialog.exec() == QDialog::Accepted;
}

bool TQtFileDialogs::ExecutePrinterSetup(QPrinter& printer) {
    QPageSetupDialog dialog(&printer, FOwner);
    return dialog.exec() == QDialog::Accepted;
}

QString ChooseSaveName(TFileDialogs& files, TFileDialogInfo& dialog, const QString& extension,
                       platform::TDialogs& boxes) {
    if (!files.ExecuteSave(dialog))
        return {};
    QString name = dialog.FileName;
    if (!QFileInfo(name).fileName().contains(QLatin1Char('.')))
        name += extension;
    if (QFileInfo::exists(name) &&
        boxes.MessageBox(WithName("Überschreiben %s ?", name), QString(),
                         platform::MB_YESNOCANCEL | platform::MB_ICONQUESTION) != platform::IDYES)
        return {};
    return name;
}
