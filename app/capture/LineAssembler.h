#pragma once

#include <QString>
#include <QStringView>

#include <functional>

// Gathers text that arrives in chunks (the USB converter's, the infrared
// peer's) into lines. The chunks themselves go into the document as they
// come; only the lines are gathered here. A line ends with a line feed and
// takes the arrival time of the chunk that brought it. A line that grows past
// MaxLineLength without one is handed on as it stands (it is no reading
// then), so a device sending garbage cannot grow memory.
class TLineAssembler {
public:
    static constexpr qsizetype MaxLineLength = 64 * 1024;
    // Receives a line without its line end, and its arrival time.
    using TLineSink = std::function<void(QStringView line, qint64 time)>;

    void Feed(QStringView chunk, qint64 time, const TLineSink& sink);
    // Drops a partial line (the link went away, or a new document began).
    void Reset() { FPartial.clear(); }
    bool HasPartialLine() const { return !FPartial.isEmpty(); }
    QStringView PartialLine() const { return FPartial; }

private:
    void Hand(QStringView line, qint64 time, const TLineSink& sink);

    QString FPartial;
};
