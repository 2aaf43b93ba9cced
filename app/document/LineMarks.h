#pragma once

#include <QObject>
#include <QStringView>

#include <cstdint>
#include <deque>

class QTextDocument;

// Where the lines of the newest readings are in the document, by the
// capture's line id, followed through every change of the text: a change
// before a line moves it, one inside it (or one that takes it away) loses
// it. Only the newest Capacity lines are kept, so following them costs the
// same however long the document grows.
class TLineMarks : public QObject {
public:
    static constexpr size_t Capacity = 1024;

    explicit TLineMarks(QTextDocument& document);

    // The line with this id went in from start to end (its line break, or
    // the text's end).
    void Add(uint64_t id, int start, int end);
    bool Has(uint64_t id) const;

    // Takes the line with this id out of the document, line break and all,
    // as one step Undo can take back, when it still holds text and nothing
    // else. False (and the document untouched) when it changed, went, or is
    // not known.
    bool Remove(uint64_t id, QStringView text);

private:
    struct TMark {
        uint64_t Id;
        int Start;
        int End;
    };
    void Changed(int position, int removed, int added);

    QTextDocument& FDocument;
    std::deque<TMark> FMarks; // oldest first
};
