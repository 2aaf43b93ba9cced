#include "CodePage.h"

#include <array>

namespace platform {
namespace {

// The characters of bytes 0x80..0x9F; the undefined bytes map to the C1
// control of the same value, as Windows does. Every other byte is its own
// Latin-1 character.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr std::array<char16_t, 256> MakeToUnicode() {
    std::array<char16_t, 256> table{};
    for (int byte = 0; byte < 256; ++byte)
        table[byte] = static_cast<char16_t>(byte);
    for (int i = 0; i < 32; ++i)
        table[0x80 + i] = kHighControls[i];
    return table;
}

constexpr std::array<char16_t, 256> kToUnicode = MakeToUnicode();

} // namespace

QChar AnsiToChar(unsigned char byte) {
    return QChar(kToUnicode[byte]);
}

QString AnsiToUnicode(QByteArrayView bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    for (qsizetype i = 0; i < bytes.size(); ++i)
        out[i] = QChar(kToUnicode[in[i]]);
    return text;
}

int CharToAnsi(QChar ch) {
    const char16_t code = ch.unicode();
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF))
        return code;
    for (int i = 0; i < 32; ++i) {
        if (kHighControls[i] == code)
            return 0x80 + i;
    }
    return -1;
}

QByteArray UnicodeToAnsi(QStringView text) {
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char* out = bytes.data();
    qsizetype length = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int byte = CharToAnsi(text[i]);
        out[length++] = static_cast<char>(byte < 0 ? '?' : byte);
        // A character outside the basic plane is one character: one '?'.
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
    }
    bytes.truncate(length);
    return bytes;
}

} // namespace platform
