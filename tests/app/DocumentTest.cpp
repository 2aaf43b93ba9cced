// The document file format, safe saving and the line-printer layout, without
// a window.
#include "app/document/DocumentFile.h"
#include "app/document/PrintLayout.h"
#include "platform/Files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray Bytes(const char* text) {
    return QByteArray(text);
}

TEST(DocumentFormat, DecodesAndEncodesAsTheFormatSays) {
    struct Row {
        QByteArray File;
        QString Text;
        bool Utf8;
        QByteArray SavedAgain; // what saving the text writes
    };
    const Row rows[] = {
        {"a\r\nb\rc\nd", "a\nb\nc\nd", false, "a\r\nb\r\nc\r\nd"},
        {"a\r\n", "a\n", false, "a\r\n"}, // no line end added, none lost
        {"\r\r\n\n", "\n\n\n", false, "\r\n\r\n\r\n"},
        {"12,5 \xB5m\r\n\x80\xA0\x81", QString::fromUtf8("12,5 µm\n€\u00A0\u0081"), false,
         "12,5 \xB5m\r\n\x80\xA0\x81"},
        {"\xEF\xBB\xBF\xC2\xB5m\n", QString::fromUtf8("µm\n"), true, "\xEF\xBB\xBF\xC2\xB5m\r\n"},
        {"\xEF\xBB\xBF\xEF\xBB\xBFx", QChar(0xFEFF) + QString("x"), true,
         "\xEF\xBB\xBF\xEF\xBB\xBFx"},
        {"", "", false, ""},
    };
    for (const Row& row : rows) {
        const TDocumentText document = DecodeDocument(row.File);
        EXPECT_EQ(document.Text, row.Text) << row.File.toHex().constData();
        EXPECT_EQ(document.Utf8, row.Utf8) << row.File.toHex().constData();
        EXPECT_EQ(EncodeDocument(document), row.SavedAgain) << row.File.toHex().constData();
    }
    // Every byte but the line ends comes back as it was.
    QByteArray all;
    for (int byte = 0; byte < 256; ++byte)
        if (byte != '\r' && byte != '\n')
            all.append(static_cast<char>(byte));
    EXPECT_EQ(EncodeDocument(DecodeDocument(all)), all);
    // Text the code page lacks is kept by writing UTF-8 behind its mark.
    const TDocumentText pasted{QString::fromUtf8("Ω 3 µm\nx"), false};
    EXPECT_TRUE(NeedsUtf8(pasted));
    EXPECT_EQ(EncodeDocument(pasted), Bytes("\xEF\xBB\xBF\xCE\xA9 3 \xC2\xB5m\r\nx"));
    EXPECT_EQ(DecodeDocument(EncodeDocument(pasted)).Text, pasted.Text);
}

// The editor's paragraphs stay small, whatever lines come and wherever they
// go in, and the saved text is the text that came: no line end the text did
// not hold, none lost.
TEST(DocumentFormat, ParagraphsStayBoundedAndSaveAsTheTextCame) {
    const QString longLine = QString("0123456789").repeated(100'000); // 1 MB, no line end
    struct Row {
        const char* Name;
        QString Text;
        TParagraphFill Into;
    };
    const Row rows[] = {
        {"a line of a megabyte", longLine, {}},
        {"short lines around a long one",
         QString("  12.5 um\n").repeated(40) + longLine.left(9000) + "\n\n7\n",
         {}},
        {"a line of exactly a paragraph, then one more character",
         QString(ParagraphLength, u'x') + "\n" + QString(ParagraphLength + 1, u'y'),
         {}},
        {"into a paragraph nearly full", longLine.left(5000) + "\n1\n", {GroupedLines - 1, 4000}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Name);
        const QString grouped = GroupLines(row.Text, row.Into);
        EXPECT_EQ(UngroupLines(grouped), row.Text);
        qsizetype length = row.Into.Length;
        int separators = row.Into.Separators;
        for (qsizetype i = 0; i < grouped.size(); ++i) {
            const QChar ch = grouped[i];
            if (ch == SoftBreak) {
                ASSERT_TRUE(i + 1 < grouped.size() && grouped[i + 1] == u'\n') << i;
            }
            if (ch == u'\n') {
                length = 0;
                separators = 0;
                continue;
            }
            separators += ch == QChar::LineSeparator ? 1 : 0;
            ASSERT_LE(++length, ParagraphLength + 1) << i;
            ASSERT_LT(separators, GroupedLines) << i;
        }
        EXPECT_EQ(grouped.endsWith(u'\n'), row.Text.endsWith(u'\n'));
    }
    // Edits may part a mark from its paragraph end: that end is a line end
    // then, as the window shows it, and the mark goes.
    const QString mark(SoftBreak);
    EXPECT_EQ(UngroupLines("a" + mark + QChar::ParagraphSeparator + "b"), "ab");
    EXPECT_EQ(UngroupLines("a" + mark + "x" + QChar::ParagraphSeparator + "b"), "ax\nb");
    EXPECT_EQ(UngroupLines("a" + mark + "b" + QChar::LineSeparator + mark), "ab\n");
}

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

TEST(DocumentFile, SavingReplacesTheTargetWholeAndKeepsWhatItWas) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString target = folder.filePath("target.txt");
    const QString link = folder.filePath("link.txt");
    WriteDocumentFile(target, "old");
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    ASSERT_TRUE(QFile::link(target, link));

    // Through the link: the target gets the text, the link stays a link, the
    // permissions stay, and no temporary file is left behind.
    WriteDocumentFile(link, "new\r\ntext");
    EXPECT_EQ(Contents(target), "new\r\ntext");
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(QFile::permissions(target), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser |
                                              QFile::WriteUser | QFile::ReadGroup);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::System).size(), 2);
    EXPECT_EQ(ReadDocumentFile(link), "new\r\ntext");

    // Failures carry the name and the reason; nothing is left behind.
    const QString nowhere = folder.filePath("missing/x.txt");
    try {
        WriteDocumentFile(nowhere, "x");
        ADD_FAILURE() << "writing into a missing folder succeeded";
    } catch (const platform::EFileError& error) {
        EXPECT_EQ(error.Path(), nowhere);
        EXPECT_EQ(error.Error().Reason, platform::TFileReason::NoFolder);
    }
    EXPECT_THROW(ReadDocumentFile(nowhere), platform::EFileError);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::System | QDir::Hidden).size(), 2);
}

// A font of fixed 10-pixel characters whose text is 12 pixels high and whose
// full height is 15.
class TFixedMetrics : public TPrintMetrics {
public:
    int TextWidth(const QString& text) const override { return 10 * static_cast<int>(text.size()); }
    int TextHeight(const QString& text) const override {
        EXPECT_FALSE(text.isEmpty());
        return 12;
    }
    int FontHeight() const override { return 15; }
    int AverageCharWidth() const override { return 10; }
};

TEST(PrintLayout, FollowsTheLinePrinterRules) {
    const TFixedMetrics metrics;
    using Pages = std::vector<TPrintPage>;
    struct Row {
        const char* Name;
        QString Stream;
        QSize Page;
        Pages Expected;
    };
    const QSize wide(1000, 1000);
    const Row rows[] = {
        {"lines advance by text height + 2, an empty one by the font height",
         "ab\n\ncd\n",
         wide,
         {{{0, 0, "ab"}, {0, 29, "cd"}}}},
        {"a tab goes to the next multiple of eight character widths",
         "a\tb\t\tc\n\td",
         wide,
         {{{0, 0, "a"}, {80, 0, "b"}, {240, 0, "c"}, {80, 14, "d"}}}},
        {"a carriage return does nothing", "ab\rcd", wide, {{{0, 0, "ab"}, {20, 0, "cd"}}}},
        {"a form feed starts a new page at the top",
         "ab\fcd\nef",
         wide,
         {{{0, 0, "ab"}}, {{0, 0, "cd"}, {0, 14, "ef"}}}},
        {"a line too wide breaks at the last character that fits",
         "abcdefg\nh",
         QSize(30, 1000),
         {{{0, 0, "abc"}, {0, 14, "def"}, {0, 28, "g"}, {0, 42, "h"}}}},
        {"text behind a tab that does not fit goes to the next line",
         "a\tbc",
         QSize(85, 1000),
         {{{0, 0, "a"}, {0, 14, "bc"}}}},
        {"a new page when below the height minus twice the line's height",
         "1\n2\n3\n4\n",
         QSize(100, 56),
         // 14 and 28 stay above 56 - 28; 42 lies below.
         {{{0, 0, "1"}, {0, 14, "2"}, {0, 28, "3"}}, {{0, 0, "4"}}}},
        {"an empty line counts as height zero there",
         "1\n\n\n2",
         QSize(100, 50),
         {{{0, 0, "1"}, {0, 44, "2"}}}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(LayOutPrintText(row.Stream, metrics, row.Page), row.Expected) << row.Name;
}

TEST(PrintLayout, StreamPutsTheIndentInFrontOfEveryLine) {
    EXPECT_EQ(PrintStream({"a", "", "b c"}, 3), "   a\n   \n   b c\n");
    EXPECT_EQ(PrintStream({"a", "b"}, 0), "a\nb\n");
}

} // namespace
