#pragma once

#include "Files.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

namespace platform {

// The longest value a profile read returns, as with the Windows calls the
// settings file was designed around.
inline constexpr int kMaxProfileValue = 2047;

// One section of an initialisation file: its name and its entries, in the
// file's order, as TIniDocument::Value reads them (trimmed, one pair of
// enclosing quotes removed).
struct TIniSection {
    QString Name;
    std::vector<std::pair<QString, QString>> Entries;
};

// An initialisation file in memory, with the Windows profile semantics:
// sections and keys compare case-insensitively, blanks around keys and values
// are trimmed, one pair of enclosing quotes is removed on read, other lines
// and comments are kept when the file is written back, a key is replaced in
// place or appended to its section (a missing section is appended at the end).
class TIniDocument {
public:
    TIniDocument() = default;
    explicit TIniDocument(const QString& text);

    // nullptr-like: isNull() when the key is missing; "" when present but empty.
    QString Value(const QString& section, const QString& key) const;
    // Every section in one pass, for a file read whole (Value looks through
    // the file on each call). Lines before the first section belong to none.
    std::vector<TIniSection> Sections() const;
    void SetValue(const QString& section, const QString& key, const QString& value);
    QString Text() const;

private:
    QStringList FLines;
    QString FLineBreak = QStringLiteral("\n"); // the file's own: "\n" or "\r\n"
};

// The text of an initialisation file's bytes: UTF-8, or, when they are not,
// the ANSI code page (a file carried over from Windows), so no character is
// lost.
QString DecodeProfileText(const QByteArray& bytes);

// Reads one value from the file at path; default when the file, section or key
// is missing, or when it is no regular file (a pipe never blocks the read). At most
// kMaxProfileValue characters are returned.
QString GetPrivateProfileString(const QString& section, const QString& key,
                                const QString& defaultValue, const QString& path);

// Names and values that would change the file's structure (a line break, a
// key with '=' or read back as a section or a comment, a section with ']')
// are refused instead of being written.
bool IsWritableProfileValue(const QString& section, const QString& key, const QString& value);

// Writes one value; the whole file is replaced (ReplaceFile), so a failure
// never leaves a truncated file. Returns false when the file could not be
// written, with the reason in failure; a file that is no regular file (a
// pipe, a folder) is neither read nor replaced. A value that would not change
// the file leaves it untouched.
bool WritePrivateProfileString(const QString& section, const QString& key, const QString& value,
                               const QString& path, TFileError* failure = nullptr);

} // namespace platform
