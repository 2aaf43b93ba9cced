#include "app/dialogs/HelpManual.h"

#include <QDir>
#include <QFileInfo>

QStringList HelpManualFolders(const QString& programFolder) {
    const QDir program(programFolder);
    return {program.absoluteFilePath(QStringLiteral("help")),
            QDir::cleanPath(program.absoluteFilePath(QStringLiteral("../share/brisquell/help")))};
}

QString FindHelpManual(const QStringList& folders, const QString& language) {
    const QString name = QStringLiteral("brisquell-%1.html").arg(language);
    for (const QString& folder : folders) {
        const QFileInfo manual(QDir(folder), name);
        if (manual.isFile())
            return manual.absoluteFilePath();
    }
    return {};
}

QString CompiledHelpFile(const QString& language) {
    static constexpr std::array<const char*, 3> Files{"BRQDEU.CHM", "BRQENG.CHM", "BRQFRA.CHM"};
    for (size_t i = 0; i < WindowLanguages.size(); ++i)
        if (language == QLatin1String(WindowLanguages[i]))
            return QString::fromLatin1(Files[i]);
    return {};
}
