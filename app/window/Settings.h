#pragma once

#include "series/Limits.h"

#include <QString>

#include <array>
#include <optional>

// The values the settings file holds while the program runs.
struct TSettings {
    int Left = 100;
    int Top = 100;
    int Height = 450;
    int Width = 500;
    int Baud = 9600;
    int Device = 0;
    int Port = 0;
    int MaxPort = 10;
    bool AutoConnect = true;
    bool Debug = false;
    bool AutoReconnect = true; // connect again when the vanished port returns
    int LeftSpace = 10;
    QString Language;
    QString WorkDir;
    std::array<QString, 5> Files; // recent files, newest first; "" = free
    // Capture journals left behind that could be neither kept aside nor
    // removed, by identity, blank-separated: they are not offered again.
    QString PassedJournals;
};

// Reads an integer the way the settings file stores it: decimal, or
// hexadecimal after "0x"/"0X" for texts of three or more characters; nullopt
// for anything that is not a 32-bit number.
std::optional<int> ParseIniInteger(const QString& text);

// The settings file's path under the given application-data folder,
// "<folder>/Brisquell/BSave.ini"; an empty folder gives the path from the
// root, "/Brisquell/BSave.ini".
QString IniPathFor(const QString& appDataFolder);
// The same, creating the Brisquell folder with its parents.
QString MakeIniPath(const QString& appDataFolder);

// One key of the settings file: typed reads with the file's default rules and
// writes that report failure with the program's message.
class TIniFileAccess {
public:
    explicit TIniFileAccess(QString path) : FPath(std::move(path)) {}

    int ReadInteger(const QString& section, const QString& key, int defaultValue) const;
    bool ReadBool(const QString& section, const QString& key, bool defaultValue) const;
    // An empty value gives ""; only a missing key gives the default.
    QString ReadString(const QString& section, const QString& key,
                       const QString& defaultValue) const;

    // Throw std::runtime_error "In <path> kann nicht geschrieben werden" with
    // the reason on failure.
    void WriteInteger(const QString& section, const QString& key, int value) const;
    void WriteBool(const QString& section, const QString& key, bool value) const;
    void WriteString(const QString& section, const QString& key, const QString& value) const;

    const QString& Path() const { return FPath; }

private:
    QString FPath;
};

void ReadSettings(const TIniFileAccess& ini, TSettings& settings, const QString& defaultLanguage,
                  const QString& defaultWorkDir);
void WriteSettings(const TIniFileAccess& ini, const TSettings& settings);

// The series panel's section of the settings file ("Series"): whether the
// panel shows, where it is docked, and the limits of every group (a
// numbered list, see series::ReadLimitSettings; an older file's one pair
// is the unlabelled group's). A file without the section leaves the panel
// hidden, and the section is written only once there is something to keep
// in it.
struct TSeriesSettings {
    bool Visible = false;
    int Area = 2; // Qt::RightDockWidgetArea
    series::TLimitStore Limits;
    bool operator==(const TSeriesSettings&) const = default;
};

TSeriesSettings ReadSeriesSettings(const TIniFileAccess& ini);
// Skips the section while it holds only defaults and the file has none.
void WriteSeriesSettings(const TIniFileAccess& ini, const TSeriesSettings& series);
// Only the limits, as soon as they change: a crash later loses none.
void WriteLimitSettings(const TIniFileAccess& ini, const series::TLimitStore& limits);
