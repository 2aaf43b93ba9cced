// The one place that catches what escapes an event handler.
#include "app/window/Abort.h"
#include "app/window/TApplication.h"
#include "tests/app/FakeDialogs.h"

#include <QEvent>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>

namespace {

class TThrowingObject : public QObject {
public:
    bool Silent = false;
    int Handled = 0;

protected:
    bool event(QEvent* event) override {
        if (event->type() != QEvent::User)
            return QObject::event(event);
        ++Handled;
        if (Silent)
            throw EAbort();
        throw std::runtime_error("Datei gesperrt");
    }
};

TEST(Application, ErrorOfAHandlerIsShownAndTheLoopGoesOn) {
    TFakeDialogs dialogs;
    static_cast<TApplication*>(QCoreApplication::instance())->SetDialogs(&dialogs);
    TThrowingObject object;
    QCoreApplication::postEvent(&object, new QEvent(QEvent::User));
    QCoreApplication::postEvent(&object, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    EXPECT_EQ(object.Handled, 2) << "the second event is still delivered";
    EXPECT_EQ(dialogs.Exceptions, QStringList({"Datei gesperrt", "Datei gesperrt"}));
    object.Silent = true;
    QCoreApplication::postEvent(&object, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    EXPECT_EQ(dialogs.Exceptions.size(), 2) << "a silent abort shows nothing";
    static_cast<TApplication*>(QCoreApplication::instance())->SetDialogs(nullptr);
}

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    TApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
