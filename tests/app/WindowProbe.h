#pragma once

#include "app/window/TMainScreen.h"
#include "tests/app/FakeDialogs.h"
#include "tests/support/PrivateSerialModule.h"
#include "tests/support/TestEnvironment.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

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

// A test of the real window on a private serial module; the test starts it.
class TWindowTest : public ::testing::Test, protected TWindowProbe {
protected:
    TMainScreen* ProbedWindow() const override { return Window.get(); }
    void SetUp() override { QCoreApplication::setApplicationName("Brisquell"); }
    void TearDown() override { Stop(); }
    void Stop() {
        Window.reset();
        Module.reset();
    }

    std::optional<TPrivateSerialModule> Module;
    TFakeDialogs Dialogs;
    std::unique_ptr<TMainScreen> Window;
};
