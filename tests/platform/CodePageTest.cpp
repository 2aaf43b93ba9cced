#include "platform/CodePage.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(CodePage, EveryByteRoundTrips) {
    QByteArray all;
    for (int byte = 0; byte < 256; ++byte)
        all.append(static_cast<char>(byte));
    const QString text = AnsiToUnicode(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(UnicodeToAnsi(text), all);
    for (int byte = 0; byte < 256; ++byte) {
        EXPECT_EQ(AnsiToChar(static_cast<unsigned char>(byte)), text[byte]) << byte;
        EXPECT_EQ(CharToAnsi(text[byte]), byte) << byte;
    }
}

TEST(CodePage, KnownCharacters) {
    EXPECT_EQ(AnsiToChar(0x80), QChar(0x20AC)); // €
    EXPECT_EQ(AnsiToChar(0xB5), QChar(0x00B5)); // µ
    EXPECT_EQ(AnsiToChar(0x9F), QChar(0x0178)); // Ÿ
    EXPECT_EQ(AnsiToChar(0x8A), QChar(0x0160)); // Š
    EXPECT_EQ(AnsiToChar(0xE4), QChar(0x00E4)); // ä
    for (const int undefined : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
        EXPECT_EQ(AnsiToChar(static_cast<unsigned char>(undefined)), QChar(undefined));
    EXPECT_EQ(UnicodeToAnsi(u"12,5 \u00B5m \u20AC"), QByteArray("12,5 \xB5m \x80"));
}

TEST(CodePage, UnmappableCharactersBecomeQuestionMarks) {
    // The C1 controls that Windows-1252 replaces (U+0080, U+009F) have no byte.
    EXPECT_EQ(CharToAnsi(QChar(0x0080)), -1);
    EXPECT_EQ(CharToAnsi(QChar(0x009F)), -1);
    EXPECT_EQ(UnicodeToAnsi(u"a\u0080b\u03A9c"), QByteArray("a?b?c"));
    // A character outside the basic plane is one character, so one '?'.
    EXPECT_EQ(UnicodeToAnsi(QString::fromUtf8("x\xF0\x9F\x98\x80y")), QByteArray("x?y"));
    // A lone surrogate is a character of its own.
    const QChar lone[] = {QChar(0xD800), QChar(u'z')};
    EXPECT_EQ(UnicodeToAnsi(QStringView(lone, 2)), QByteArray("?z"));
}

TEST(CodePage, EmptyInput) {
    EXPECT_TRUE(AnsiToUnicode(QByteArrayView()).isEmpty());
    EXPECT_TRUE(UnicodeToAnsi(QStringView()).isEmpty());
}
