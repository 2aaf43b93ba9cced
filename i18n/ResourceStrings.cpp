#include "i18n/ResourceStrings.h"

#include "i18n/TGnuGettextInstance.h"
#include "i18n/gnugettext.h"

#include <cstring>
#include <mutex>
#include <thread>

namespace gnugettext {

namespace {

constexpr unsigned FirstInvalidIdentifier = 65536;

// The program's table stands in for the executable's resource section: one
// per process, set once at start.
std::mutex RegisteredLock;
TResourceTable Registered;

const TResourceStringEntry* Find(TResourceTable table, const char* module, unsigned identifier) {
    for (const TResourceStringEntry& entry : table) {
        if (entry.Identifier == identifier &&
            (module == nullptr || std::strcmp(entry.Module, module) == 0) && *entry.Text != '\0')
            return &entry;
    }
    return nullptr;
}

QString Load(TResourceTable table, const char* module, unsigned identifier) {
    const TResourceStringEntry* entry = Find(table, module, identifier);
    return entry != nullptr ? QString::fromUtf8(entry->Text) : QString();
}

bool OnCreatorThread() {
    return GlobalEngine != nullptr && GlobalEngine->CreatorThreadId == std::this_thread::get_id();
}

// Placeholders %s, %d and %%, enough for the program's messages.
QString Format(const QString& pattern, const QStringList& arguments) {
    QString result;
    qsizetype next = 0;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        const QChar spec = i + 1 < pattern.size() ? pattern.at(i + 1) : QChar();
        if (c == u'%' && spec == u'%') {
            result += u'%';
            ++i;
        } else if (c == u'%' && (spec == u's' || spec == u'd') && next < arguments.size()) {
            result += arguments.at(next++);
            ++i;
        } else {
            result += c;
        }
    }
    return result;
}

} // namespace

void RegisterResourceStrings(TResourceTable table) {
    const std::lock_guard lock(RegisteredLock);
    Registered = table;
}

TResourceTable RegisteredResourceStrings() {
    const std::lock_guard lock(RegisteredLock);
    return Registered;
}

QString LoadResourceText(const TResStringRec* record) {
    return LoadResourceText(record, RegisteredResourceStrings());
}

QString LoadResourceText(const TResStringRec* record, TResourceTable table) {
    if (record == nullptr)
        return {};
    if (record->Identifier >= FirstInvalidIdentifier)
        return QStringLiteral("ERROR");
    const QString text = Load(table, record->Module, record->Identifier);
    // Catalogs and domains have no lock: other threads get the German text.
    return OnCreatorThread() ? TranslateResourceString(text) : text;
}

QString LoadResString(unsigned identifier) {
    return LoadResString(identifier, RegisteredResourceStrings());
}

QString LoadResString(unsigned identifier, TResourceTable table) {
    return TranslateResourceString(Load(table, nullptr, identifier));
}

QString FmtLoadStr(unsigned identifier, const QStringList& arguments) {
    return FmtLoadStr(identifier, arguments, RegisteredResourceStrings());
}

QString FmtLoadStr(unsigned identifier, const QStringList& arguments, TResourceTable table) {
    return TranslateResourceString(Format(Load(table, nullptr, identifier), arguments));
}

} // namespace gnugettext
