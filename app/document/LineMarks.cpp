#include "app/document/LineMarks.h"

#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace {

// A line break as the editor holds it: a paragraph's end or a line separator.
bool IsBreak(QChar c) {
    return c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
}

} // namespace

TLineMarks::TLineMarks(QTextDocument& document) : QObject(&document), FDocument(document) {
    connect(&document, &QTextDocument::contentsChange, this, &TLineMarks::Changed);
}

void TLineMarks::Add(uint64_t id, int start, int end) {
    if (start < 0 || end < start)
        return;
    FMarks.push_back({id, start, end});
    if (FMarks.size() > Capacity)
        FMarks.pop_front();
}

bool TLineMarks::Has(uint64_t id) const {
    return std::any_of(FMarks.rbegin(), FMarks.rend(),
                       [id](const TMark& mark) { return mark.Id == id; });
}

void TLineMarks::Changed(int position, int removed, int added) {
    const int end = position + removed;
    std::erase_if(FMarks, [&](TMark& mark) {
        // Wholly before the change: typing behind it, or a break behind it
        // replaced, shows when the line is to go.
        if (mark.End <= position)
            return false;
        if (mark.Start >= end) {
            mark.Start += added - removed;
            mark.End += added - removed;
            return false;
        }
        return true; // the change reaches into the line or its break
    });
}

bool TLineMarks::Remove(uint64_t id, QStringView text) {
    const auto found = std::find_if(FMarks.rbegin(), FMarks.rend(),
                                    [id](const TMark& mark) { return mark.Id == id; });
    if (found == FMarks.rend())
        return false;
    const TMark mark = *found;
    const int size = FDocument.characterCount(); // the last paragraph's end counts
    if (mark.End - mark.Start != text.size() || mark.End >= size)
        return false;
    // The line as it went in: begun by a break (or the text's start), ended
    // by one, and nothing typed into it.
    if (mark.Start > 0 && !IsBreak(FDocument.characterAt(mark.Start - 1)))
        return false;
    if (!IsBreak(FDocument.characterAt(mark.End)) && mark.End != size - 1)
        return false;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (FDocument.characterAt(mark.Start + static_cast<int>(i)) != text[i])
            return false;
    QTextCursor cursor(&FDocument);
    // With its break; the last line (no break behind it) with the one before.
    if (mark.End < size - 1) {
        cursor.setPosition(mark.Start);
        cursor.setPosition(mark.End + 1, QTextCursor::KeepAnchor);
    } else {
        cursor.setPosition(std::max(0, mark.Start - 1));
        cursor.setPosition(mark.End, QTextCursor::KeepAnchor);
    }
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    cursor.endEditBlock();
    return true;
}
