#pragma once

#include "app/TMainScreen.h"
#include "tests/support/TestEnvironment.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>

#include <gtest/gtest.h>

// The settings file a program start reads, written before the start.
inline void WriteSettingsFile(const QByteArray& ini) {
    QFile file(testing_support::ConfigHome() + "/Brisquell/BSave.ini");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(ini);
}

// What end-to-end tests read off the main window they started; the fixture
// says which window that is.
class TWindowProbe {
protected:
    virtual ~TWindowProbe() = default;
    virtual TMainScreen* ProbedWindow() const = 0;

    template <typename T> T* Find(const QString& name) const {
        T* child = ProbedWindow()->findChild<T*>(name);
        EXPECT_NE(child, nullptr) << name.toStdString();
        return child;
    }
    QString Panel(int i) const {
        return Find<QLabel>(QStringLiteral("StatusPanel%1").arg(i))->text();
    }
    QString Text() const { return Find<QPlainTextEdit>("Editor")->toPlainText(); }
    QAction* Action(const char* name) const { return Find<QAction>(name); }
    QAction* DeviceItem(int tag) const {
        for (QAction* item : Find<QMenu>("Device1")->actions())
            if (!item->isSeparator() && item->property("Tag").toInt() == tag)
                return item;
        return nullptr;
    }
};
