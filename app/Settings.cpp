#include "app/Settings.h"

#include "app/Texts.h"
#include "platform/Profile.h"

#include <QDir>

#include <stdexcept>

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

QString MakeIniPath(const QString& appDataFolder) {
    const QString folder = appDataFolder + QStringLiteral("/Brisquell");
    QDir().mkpath(folder);
    return folder + QStringLiteral("/BSave.ini");
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
    if (!platform::WritePrivateProfileString(section, key, value, FPath))
        throw std::runtime_error(
            Translated("In %s kann nicht geschrieben werden").replace("%s", FPath).toStdString());
}

void TIniFileAccess::WriteInteger(const QString& section, const QString& key, int value) const {
    WriteString(section, key, QString::number(value));
}

void TIniFileAccess::WriteBool(const QString& section, const QString& key, bool value) const {
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void ReadSettings(const TIniFileAccess& ini, TSettings& s, const QString& defaultLanguage,
                  const QString& defaultWorkDir) {
    s.Left = ini.ReadInteger("Window", "Left", 100);
    s.Top = ini.ReadInteger("Window", "Top", 100);
    s.Height = ini.ReadInteger("Window", "Height", 450);
    s.Width = ini.ReadInteger("Window", "Width", 500);
    s.Baud = ini.ReadInteger("Config", "Baud", 9600);
    s.Device = ini.ReadInteger("Config", "Device", 0);
    s.Port = ini.ReadInteger("Config", "Port", 0);
    s.MaxPort = ini.ReadInteger("Config", "MaxPort", 10);
    s.AutoConnect = ini.ReadBool("Config", "AutoConnect", true);
    s.Debug = ini.ReadBool("Config", "Debug", false);
    s.LeftSpace = ini.ReadInteger("System", "LeftSpace", 10);
    s.Language = ini.ReadString("System", "Language", defaultLanguage);
    s.WorkDir = ini.ReadString("System", "WorkDir", defaultWorkDir);
    for (int i = 0; i < 5; ++i)
        s.Files[static_cast<size_t>(i)] =
            ini.ReadString("LastFile", QStringLiteral("File%1").arg(i), QString());
}

void WriteSettings(const TIniFileAccess& ini, const TSettings& s) {
    ini.WriteInteger("Window", "Left", s.Left);
    ini.WriteInteger("Window", "Top", s.Top);
    ini.WriteInteger("Window", "Height", s.Height);
    ini.WriteInteger("Window", "Width", s.Width);
    ini.WriteInteger("Config", "Baud", s.Baud);
    ini.WriteInteger("Config", "Device", s.Device);
    ini.WriteInteger("Config", "Port", s.Port);
    ini.WriteInteger("Config", "MaxPort", s.MaxPort);
    ini.WriteBool("Config", "AutoConnect", s.AutoConnect);
    ini.WriteBool("Config", "Debug", s.Debug);
    ini.WriteInteger("System", "LeftSpace", s.LeftSpace);
    ini.WriteString("System", "Language", s.Language);
    ini.WriteString("System", "WorkDir", s.WorkDir);
    for (int i = 0; i < 5; ++i)
        ini.WriteString("LastFile", QStringLiteral("File%1").arg(i),
                        s.Files[static_cast<size_t>(i)]);
}
