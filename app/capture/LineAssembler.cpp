#include "app/capture/LineAssembler.h"

#include <algorithm>

void TLineAssembler::Hand(QStringView line, qint64 time, const TLineSink& sink) {
    if (line.endsWith(u'\r'))
        line.chop(1);
    sink(line, time);
}

void TLineAssembler::Feed(QStringView chunk, qint64 time, const TLineSink& sink) {
    while (!chunk.isEmpty()) {
        const qsizetype feed = chunk.indexOf(u'\n');
        const qsizetype room = MaxLineLength - FPartial.size();
        if (feed < 0 || feed > room) {
            // No line end within reach: keep what fits, hand on a full line.
            const qsizetype take = std::min(chunk.size(), room);
            FPartial.append(chunk.first(take));
            chunk = chunk.mid(take);
            if (FPartial.size() == MaxLineLength) {
                Hand(FPartial, time, sink);
                FPartial.clear();
            }
            continue;
        }
        if (FPartial.isEmpty()) {
            Hand(chunk.first(feed), time, sink);
        } else {
            FPartial.append(chunk.first(feed));
            Hand(FPartial, time, sink);
            FPartial.clear();
        }
        chunk = chunk.mid(feed + 1);
    }
}
