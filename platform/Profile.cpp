#include "Profile.h"

#include "CodePage.h"
#include "Files.h"

#include <QStringDecoder>

#include <cerrno>
#include <optional>

namespace platform {
namespace {

// A line "[name]", possibly with blanks around it; the name is trimmed.
std::optional<QString> SectionOf(const QString& line) {
    const QString trimmed = line.trimmed();
    if (!trimmed.startsWith(u'['))
        return std::nullopt;
    const qsizetype close = trimmed.indexOf(u']');
    const qsizetype end = close < 0 ? trimmed.size() : close;
    return trimmed.mid(1, end - 1).trimmed();
}

struct TEntry {
    QString Key;
    QString Value;
};

// A line "key=value"; comments (';') and lines without '=' are no entries.
std::optional<TEntry> EntryOf(const QString& line) {
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(u';') || trimmed.startsWith(u'['))
        return std::nullopt;
    const qsizetype equals = trimmed.indexOf(u'=');
    if (equals < 0)
        return std::nullopt;
    return TEntry{trimmed.left(equals).trimmed(), trimmed.mid(equals + 1).trimmed()};
}

// Names as written in the file (already trimmed) against names asked for.
bool SameName(const QString& inFile, const QString& asked) {
    return inFile.compare(QStringView(asked).trimmed(), Qt::CaseInsensitive) == 0;
}

QString WithoutQuotes(const QString& value) {
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

// The lines [first, last) of a section's body; first is -1 when it is missing.
struct TSpan {
    qsizetype First = -1;
    qsizetype Last = -1;
};

TSpan FindSection(const QStringList& lines, const QString& section) {
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const auto name = SectionOf(lines[i]);
        if (!name || !SameName(*name, section))
            continue;
        qsizetype end = i + 1;
        while (end < lines.size() && !SectionOf(lines[end]))
            ++end;
        return {i + 1, end};
    }
    return {};
}

qsizetype FindKey(const QStringList& lines, TSpan span, const QString& key) {
    for (qsizetype i = span.First; i >= 0 && i < span.Last; ++i) {
        const auto entry = EntryOf(lines[i]);
        if (entry && SameName(entry->Key, key))
            return i;
    }
    return -1;
}

// The file's text; null when the file is missing, nullopt when it exists but
// cannot be read (then it must not be replaced): unreadable, or no regular
// file (a pipe, which would block the start, or a folder).
std::optional<QString> ReadFile(const QString& path, TFileError& error) {
    QByteArray bytes;
    error = ReadRegularFile(path, bytes);
    if (error.Reason == TFileReason::NotFound)
        return QString();
    if (error)
        return std::nullopt;
    return DecodeProfileText(bytes);
}

bool HasLineBreak(const QString& text) {
    return text.contains(u'\n') || text.contains(u'\r') || text.contains(QChar(0));
}

} // namespace

QString DecodeProfileText(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        return AnsiToUnicode(bytes);
    return text;
}

bool IsWritableProfileValue(const QString& section, const QString& key, const QString& value) {
    // A key line starting with '[' or ';' would read back as a section or a
    // comment.
    const QString name = key.trimmed();
    return !section.trimmed().isEmpty() && !name.isEmpty() && !HasLineBreak(section) &&
           !HasLineBreak(key) && !HasLineBreak(value) && !section.contains(u']') &&
           !key.contains(u'=') && !name.startsWith(u'[') && !name.startsWith(u';');
}

TIniDocument::TIniDocument(const QString& text) {
    QString body = text;
    if (body.startsWith(QChar(0xFEFF)))
        body.remove(0, 1);
    FLineBreak =
        body.contains(QLatin1String("\r\n")) ? QStringLiteral("\r\n") : QStringLiteral("\n");
    FLines = body.split(u'\n');
    if (FLines.back().isEmpty())
        FLines.removeLast();
    for (QString& line : FLines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
    }
}

QString TIniDocument::Value(const QString& section, const QString& key) const {
    const qsizetype line = FindKey(FLines, FindSection(FLines, section), key);
    if (line < 0)
        return {};
    QString value = WithoutQuotes(EntryOf(FLines[line])->Value);
    if (value.isNull())
        value = QStringLiteral(""); // present but empty differs from missing
    return value;
}

std::vector<TIniSection> TIniDocument::Sections() const {
    std::vector<TIniSection> sections;
    for (const QString& line : FLines) {
        if (auto name = SectionOf(line)) {
            sections.push_back({std::move(*name), {}});
        } else if (auto entry = EntryOf(line); entry && !sections.empty()) {
            QString value = WithoutQuotes(entry->Value);
            if (value.isNull())
                value = QStringLiteral("");
            sections.back().Entries.emplace_back(std::move(entry->Key), std::move(value));
        }
    }
    return sections;
}

void TIniDocument::SetValue(const QString& section, const QString& key, const QString& value) {
    const TSpan span = FindSection(FLines, section);
    if (span.First < 0) {
        if (!FLines.isEmpty() && !FLines.back().trimmed().isEmpty())
            FLines.append(QString());
        FLines.append(u'[' + section.trimmed() + u']');
        FLines.append(key.trimmed() + u'=' + value);
        return;
    }
    const qsizetype line = FindKey(FLines, span, key);
    if (line >= 0) {
        // The key keeps the spelling it has in the file.
        FLines[line] = EntryOf(FLines[line])->Key + u'=' + value;
        return;
    }
    // After the section's last non-blank line, so blank separators stay.
    qsizetype insertAt = span.Last;
    while (insertAt > span.First && FLines[insertAt - 1].trimmed().isEmpty())
        --insertAt;
    FLines.insert(insertAt, key.trimmed() + u'=' + value);
}

QString TIniDocument::Text() const {
    if (FLines.isEmpty())
        return {};
    return FLines.join(FLineBreak) + FLineBreak;
}

QString GetPrivateProfileString(const QString& section, const QString& key,
                                const QString& defaultValue, const QString& path) {
    TFileError error;
    const std::optional<QString> text = ReadFile(path, error);
    if (!text || text->isNull())
        return defaultValue.left(kMaxProfileValue);
    const QString value = TIniDocument(*text).Value(section, key);
    if (value.isNull())
        return defaultValue.left(kMaxProfileValue);
    return value.left(kMaxProfileValue);
}

bool WritePrivateProfileString(const QString& section, const QString& key, const QString& value,
                               const QString& path, TFileError* failure) {
    TFileError ignored;
    TFileError& error = failure != nullptr ? *failure : ignored;
    error = {};
    if (!IsWritableProfileValue(section, key, value)) {
        error = FileErrorOf(EINVAL, TFileStep::Write);
        return false;
    }
    const std::optional<QString> text = ReadFile(path, error);
    if (!text)
        return false;
    error = {};
    TIniDocument document(*text);
    document.SetValue(section, key, value);
    const QString written = document.Text();
    // Nothing changes: the file stays as it is (the settings are written key
    // by key, and most keep their value from run to run).
    if (!text->isNull() && written == *text)
        return true;
    error = ReplaceFile(path, written.toUtf8());
    return !error;
}

} // namespace platform
