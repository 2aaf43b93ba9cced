#pragma once

#include "i18n/ResourceStrings.h"
#include "platform/Dialogs.h"
#include "tests/support/ScopedEnv.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdint>
#include <utility>
#include <vector>

namespace i18n_test {

// A program's resource-string table, as a program registers it at start.
inline constexpr gnugettext::TResStringRec SUnbenannt{"Main", 65535};
inline constexpr gnugettext::TResourceStringEntry kProgramStrings[] = {
    {"Main", 65535, "Unbenannt"}};

// The catalogs compiled from data/*.po at build time.
inline QString CatalogDir() {
    return QStringLiteral(I18N_TEST_CATALOGS);
}
inline QString Catalog(const char* relative) {
    return CatalogDir() + QLatin1Char('/') + relative;
}

inline QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void WriteAll(const QString& path, const QByteArray& data) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(data);
}

// The (id, translation) pairs of a little-endian catalog, read without the
// code under test.
inline std::vector<std::pair<QByteArray, QByteArray>> Entries(const QByteArray& mo) {
    const auto word = [&mo](std::uint32_t at) {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = v << 8 | static_cast<unsigned char>(mo[at + i]);
        return v;
    };
    const auto string = [&](std::uint32_t table, std::uint32_t i) {
        return mo.mid(word(table + 8 * i + 4), word(table + 8 * i));
    };
    std::vector<std::pair<QByteArray, QByteArray>> entries;
    for (std::uint32_t i = 0; i < word(8); ++i)
        entries.emplace_back(string(word(12), i), string(word(16), i));
    return entries;
}

// The message of the exception of type TError that call raises.
template <typename TError, typename TCall> QString MessageOf(TCall call) {
    try {
        call();
    } catch (const TError& error) {
        return error.Message();
    }
    return QStringLiteral("(no error)");
}

// Records message boxes instead of showing them.
class TFakeDialogs : public platform::TDialogs {
public:
    struct TBox {
        QString Text;
        QString Caption;
        unsigned Flags;
    };
    int MessageBox(const QString& text, const QString& caption, unsigned flags) override {
        Boxes.push_back({text, caption, flags});
        return platform::IDOK;
    }
    void ShowException(const QString& message) override { Exceptions.push_back(message); }

    std::vector<TBox> Boxes;
    std::vector<QString> Exceptions;
};

} // namespace i18n_test
