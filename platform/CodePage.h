#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace platform {

// Windows-1252, the 8-bit code page of the program's texts (serial data,
// documents). Every byte maps to one character and back: the five bytes the
// code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to U+0081 …
// as Windows does. Byte 0xB5 is the micro sign.
QChar AnsiToChar(unsigned char byte);
QString AnsiToUnicode(QByteArrayView bytes);

// The byte for a character, or -1 when the code page has none.
int CharToAnsi(QChar ch);
// Characters without a byte become '?', as the Windows conversion does.
QByteArray UnicodeToAnsi(QStringView text);

} // namespace platform
