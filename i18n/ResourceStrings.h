#pragma once

#include <QString>
#include <QStringList>

#include <span>

namespace gnugettext {

// The program's resource strings: a table of (module, identifier, German
// text) in place of a resource section. A record names one string the way
// the code refers to it.
struct TResStringRec {
    const char* Module;
    unsigned Identifier;
};

struct TResourceStringEntry {
    const char* Module;
    unsigned Identifier;
    const char* Text; // UTF-8
};

using TResourceTable = std::span<const TResourceStringEntry>;

// The program registers its own table at start, before any thread but the
// main one runs; the loaders without a table argument use it. The entries
// must live as long as the program (a static array). Until then it is empty.
void RegisterResourceStrings(TResourceTable table);
TResourceTable RegisteredResourceStrings();

// Loads a string by record: none gives "", an identifier of 65536 or more
// "ERROR". Translated only on the thread that created the engine; other
// threads get the German text.
QString LoadResourceText(const TResStringRec* record);
QString LoadResourceText(const TResStringRec* record, TResourceTable table);

// Loads a string by numeric identifier from the first module that has it,
// translated on any thread.
QString LoadResString(unsigned identifier);
QString LoadResString(unsigned identifier, TResourceTable table);

// Loads a string by identifier, puts the arguments in for "%s" and "%d" (in
// order; "%%" is a percent sign), then translates the result.
QString FmtLoadStr(unsigned identifier, const QStringList& arguments);
QString FmtLoadStr(unsigned identifier, const QStringList& arguments, TResourceTable table);

} // namespace gnugettext
