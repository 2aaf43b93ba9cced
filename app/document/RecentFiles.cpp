#include "app/document/RecentFiles.h"

void TRecentFiles::Add(const QString& name, const QString& untitledName) {
    if (name == untitledName || name == FEntries[0])
        return;
    for (int i = Count - 1; i > 0; --i)
        FEntries[static_cast<size_t>(i)] = FEntries[static_cast<size_t>(i - 1)];
    FEntries[0] = name;
}

QString TRecentFiles::Caption(int i) const {
    return QString::number(i) + QStringLiteral(":   ") + FEntries[static_cast<size_t>(i)];
}
