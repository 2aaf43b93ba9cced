#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace gnugettext {

// The bytes without the blanks and control characters around them.
inline QByteArray TrimmedBytes(QByteArrayView bytes) {
    qsizetype begin = 0;
    qsizetype end = bytes.size();
    while (begin < end && static_cast<unsigned char>(bytes[begin]) <= ' ')
        ++begin;
    while (end > begin && static_cast<unsigned char>(bytes[end - 1]) <= ' ')
        --end;
    return bytes.sliced(begin, end - begin).toByteArray();
}

} // namespace gnugettext
