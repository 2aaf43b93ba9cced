#pragma once

#include <QString>

#include <array>

// The five most recently saved documents, newest first; "" marks a free entry.
class TRecentFiles {
public:
    static constexpr int Count = 5;

    explicit TRecentFiles(std::array<QString, Count>& entries) : FEntries(entries) {}

    // Puts name in front unless it is the untitled name or already the newest
    // entry (both compared exactly); the oldest entry drops out.
    void Add(const QString& name, const QString& untitledName);

    // The drop-down caption of entry i: "i:   name".
    QString Caption(int i) const;
    // An item is shown only when its entry is not empty.
    bool Visible(int i) const { return Caption(i).size() > 5; }

private:
    std::array<QString, Count>& FEntries;
};
