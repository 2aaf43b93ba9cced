#include "app/window/Settings.h"

#include "app/texts/FileTexts.h"
#include "platform/Profile.h"
#include "series/LimitText.h"

#include <QDir>
#include <QFileInfo>

#include <stdexcept>
#include <type_traits>
#include <variant>

std::optional<int> ParseIniInteger(const QString& text) {
    bool ok = false;
    qlonglong value = 0;
    if (text.size() >= 3 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
        const QStringView digits = QStringView(text).mid(2);
        // toLongLong would accept a sign or blanks after the prefix; the file never has them.
        for (QChar c : digits)
            if (!c.isDigit() && !(c.toLower() >= u'a' && c.toLower() <= u'f'))
                return std::nullopt;
        value = digits.toLongLong(&ok, 16);
        if (!ok || value > 0xFFFFFFFFLL)
            return std::nullopt;
        return static_cast<int>(static_cast<quint32>(value));
    }
    value = text.toLongLong(&ok, 10);
    if (!ok || value < INT32_MIN || value > INT32_MAX)
        return std::nullopt;
    return static_cast<int>(value);
}

QString IniPathFor(const QString& appDataFolder) {
    return appDataFolder + QStringLiteral("/Brisquell/BSave.ini");
}

QString MakeIniPath(const QString& appDataFolder) {
    const QString path = IniPathFor(appDataFolder);
    QDir().mkpath(QFileInfo(path).path());
    return path;
}

int TIniFileAccess::ReadInteger(const QString& section, const QString& key,
                                int defaultValue) const {
    const QString text = platform::GetPrivateProfileString(section, key, QString(), FPath);
    return ParseIniInteger(text).value_or(defaultValue);
}

bool TIniFileAccess::ReadBool(const QString& section, const QString& key, bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

QString TIniFileAccess::ReadString(const QString& section, const QString& key,
                                   const QString& defaultValue) const {
    return platform::GetPrivateProfileString(section, key, defaultValue, FPath);
}

void TIniFileAccess::WriteString(const QString& section, const QString& key,
                                 const QString& value) const {
    platform::TFileError error;
    if (!platform::WritePrivateProfileString(section, key, value, FPath, &error))
        throw std::runtime_error(WriteFailureText(FPath, error).toStdString());
}

void TIniFileAccess::WriteInteger(const QString& section, const QString& key, int value) const {
    WriteString(section, key, QString::number(value));
}

void TIniFileAccess::WriteBool(const QString& section, const QString& key, bool value) const {
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

namespace {

// The keys of the settings file in the order they are read and written.
struct TKey {
    const char* Section;
    const char* Key;
    std::variant<int TSettings::*, bool TSettings::*, QString TSettings::*> Field;
};

const TKey kKeys[] = {
    {"Window", "Left", &TSettings::Left},
    {"Window", "Top", &TSettings::Top},
    {"Window", "Height", &TSettings::Height},
    {"Window", "Width", &TSettings::Width},
    {"Config", "Baud", &TSettings::Baud},
    {"Config", "Device", &TSettings::Device},
    {"Config", "Port", &TSettings::Port},
    {"Config", "MaxPort", &TSettings::MaxPort},
    {"Config", "AutoConnect", &TSettings::AutoConnect},
    {"Config", "Debug", &TSettings::Debug},
    {"Config", "AutoReconnect", &TSettings::AutoReconnect},
    {"System", "LeftSpace", &TSettings::LeftSpace},
    {"System", "Language", &TSettings::Language},
    {"System", "WorkDir", &TSettings::WorkDir},
};

const QString JournalSection = QStringLiteral("Journal");
const QString PassedKey = QStringLiteral("Passed");

QString FileKey(size_t i) {
    return QStringLiteral("File%1").arg(i);
}

// A line break cannot stand in a settings value, and Linux allows it in file
// and folder names: such a name is left out (stored empty) rather than
// stopping the keys behind it from being written.
QString Storable(const QString& value) {
    return value.contains(u'\n') || value.contains(u'\r') ? QString() : value;
}

} // namespace

void ReadSettings(const TIniFileAccess& ini, TSettings& s, const QString& defaultLanguage,
                  const QString& defaultWorkDir) {
    // The defaults are the values of a fresh record, but for the two that
    // depend on where and how the program runs.
    TSettings defaults;
    defaults.Language = defaultLanguage;
    defaults.WorkDir = defaultWorkDir;
    for (const TKey& key : kKeys)
        std::visit(
            [&](auto field) {
                using T = std::remove_reference_t<decltype(s.*field)>;
                if constexpr (std::is_same_v<T, int>)
                    s.*field = ini.ReadInteger(key.Section, key.Key, defaults.*field);
                else if constexpr (std::is_same_v<T, bool>)
                    s.*field = ini.ReadBool(key.Section, key.Key, defaults.*field);
                else
                    s.*field = ini.ReadString(key.Section, key.Key, defaults.*field);
            },
            key.Field);
    for (size_t i = 0; i < s.Files.size(); ++i)
        s.Files[i] = ini.ReadString("LastFile", FileKey(i), QString());
    s.PassedJournals = ini.ReadString(JournalSection, PassedKey, QString());
}

void WriteSettings(const TIniFileAccess& ini, const TSettings& s) {
    for (const TKey& key : kKeys)
        std::visit(
            [&](auto field) {
                using T = std::remove_cvref_t<decltype(s.*field)>;
                if constexpr (std::is_same_v<T, int>)
                    ini.WriteInteger(key.Section, key.Key, s.*field);
                else if constexpr (std::is_same_v<T, bool>)
                    ini.WriteBool(key.Section, key.Key, s.*field);
                else
                    ini.WriteString(key.Section, key.Key, Storable(s.*field));
            },
            key.Field);
    for (size_t i = 0; i < s.Files.size(); ++i)
        ini.WriteString("LastFile", FileKey(i), Storable(s.Files[i]));
    // Rarely needed: a file gets the section only when there is something
    // to keep in it.
    if (!s.PassedJournals.isEmpty() ||
        !ini.ReadString(JournalSection, PassedKey, QString()).isEmpty())
        ini.WriteString(JournalSection, PassedKey, s.PassedJournals);
}

namespace {
const QString SeriesSection = QStringLiteral("Series");
// Read with this default, a key tells that it is missing.
const QString Missing = QStringLiteral("\x01");

series::TSettingLookup SeriesLookup(const TIniFileAccess& ini) {
    return [&ini](const QString& key) -> std::optional<QString> {
        QString value = ini.ReadString(SeriesSection, key, Missing);
        return value == Missing ? std::nullopt : std::optional<QString>(std::move(value));
    };
}
} // namespace

TSeriesSettings ReadSeriesSettings(const TIniFileAccess& ini) {
    TSeriesSettings s;
    s.Visible = ini.ReadBool(SeriesSection, QStringLiteral("Visible"), s.Visible);
    s.Area = ini.ReadInteger(SeriesSection, QStringLiteral("Area"), s.Area);
    s.Limits = series::ReadLimitSettings(SeriesLookup(ini));
    return s;
}

void WriteSeriesSettings(const TIniFileAccess& ini, const TSeriesSettings& s) {
    if (s == TSeriesSettings() &&
        ini.ReadString(SeriesSection, QStringLiteral("Visible"), Missing) == Missing)
        return;
    ini.WriteBool(SeriesSection, QStringLiteral("Visible"), s.Visible);
    ini.WriteInteger(SeriesSection, QStringLiteral("Area"), s.Area);
    WriteLimitSettings(ini, s.Limits);
}

void WriteLimitSettings(const TIniFileAccess& ini, const series::TLimitStore& limits) {
    for (const auto& [key, value] : series::LimitSettings(limits, SeriesLookup(ini)))
        if (ini.ReadString(SeriesSection, key, Missing) != value)
            ini.WriteString(SeriesSection, key, value);
}
