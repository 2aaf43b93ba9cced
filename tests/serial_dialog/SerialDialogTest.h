#pragma once

#include "serial/TSerial.h"
#include "tests/support/PrivateSerialModule.h"
#include "tests/support/Pty.h"
#include "tests/support/TestEnvironment.h"

#include <QComboBox>
#include <QFile>
#include <QStringList>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

// What a user does with the drop-down: the popup selects the entry and
// reports it as activated.
inline void Pick(QComboBox& box, int index) {
    box.setCurrentIndex(index);
    emit box.activated(index);
}

inline QStringList Entries(const QComboBox& box) {
    QStringList texts;
    for (int i = 0; i < box.count(); ++i)
        texts << box.itemText(i);
    return texts;
}

// The serial module over this test's own ports folder, a component and a
// window for the boxes; pseudo-terminals plugged in as ports on demand.
class SerialDialogTest : public ::testing::Test {
protected:
    SerialDialogTest() : Module(testing_support::PortsFolder()) {}
    ~SerialDialogTest() override {
        for (int port : Plugged)
            QFile::remove(EntryOf(port));
    }

    // A pseudo-terminal appears as COMn; the port manager hears of it.
    bool Plug(int port) {
        Ptys.push_back(std::make_unique<TPty>());
        if (Ptys.back()->Path.isEmpty() || !QFile::link(Ptys.back()->Path, EntryOf(port)))
            return false;
        Plugged.push_back(port);
        return testing_support::WaitFor([&] { return COMManager->HasPort(port); });
    }
    bool Unplug(int port) {
        QFile::remove(EntryOf(port));
        return testing_support::WaitFor([&] { return !COMManager->HasPort(port); });
    }
    static QString EntryOf(int port) {
        return testing_support::PortsFolder() + QStringLiteral("/COM%1").arg(port);
    }

    TPrivateSerialModule Module;
    std::vector<std::unique_ptr<TPty>> Ptys;
    std::vector<int> Plugged;
    TSerial Serial;
    QWidget Owner;
};
