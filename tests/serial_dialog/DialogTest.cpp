// The port settings dialog: its form, and the refresh each showing makes.
#include "serial_dialog/SerComboBoxes.h"
#include "serial_dialog/TSerialDialog.h"
#include "tests/serial_dialog/SerialDialogTest.h"

#include <QLabel>
#include <QPushButton>

namespace {

using DialogTest = SerialDialogTest;

// Where the Tab key goes from w: the next widget in the chain that takes focus by tab.
QWidget* NextTabStop(QWidget* w) {
    do
        w = w->nextInFocusChain();
    while ((w->focusPolicy() & Qt::TabFocus) == 0);
    return w;
}

TEST_F(DialogTest, FormAsDesigned) {
    TSerialDialog dialog(&Serial);
    EXPECT_EQ(dialog.windowTitle(), "COM - Settings");
    EXPECT_EQ(dialog.size(), QSize(174, 299));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize()) << "fixed border";
    const Qt::WindowFlags flags = dialog.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                          Qt::WindowContextHelpButtonHint));

    struct Label {
        const char* Name;
        const char* Caption;
        int Top;
    };
    for (const Label& l : {Label{"Label1", "Port:", 8}, Label{"Label2", "Baud:", 48},
                           Label{"Label3", "Data:", 88}, Label{"Label4", "Stop:", 128},
                           Label{"Label5", "Parity:", 168}, Label{"Label6", "Handshake:", 208}}) {
        auto* label = dialog.findChild<QLabel*>(l.Name);
        ASSERT_NE(label, nullptr) << l.Name;
        EXPECT_EQ(label->text(), l.Caption);
        EXPECT_EQ(label->pos(), QPoint(16, l.Top)) << l.Name;
        ASSERT_NE(label->buddy(), nullptr) << l.Name;
        EXPECT_EQ(label->buddy()->y(), l.Top + 16) << "names the box below it";
    }

    // The boxes in tab order, each bound to the component, then the button.
    const char* boxes[] = {"SerPortComboBox1",      "SerBaudComboBox1",
                           "SerDataBitsComboBox1",  "SerStopBitsComboBox1",
                           "SerParityBitComboBox1", "SerHandshakeComboBox1"};
    QWidget* previous = nullptr;
    int top = 24;
    for (const char* name : boxes) {
        auto* box = dialog.findChild<TSerComboBox*>(name);
        ASSERT_NE(box, nullptr) << name;
        EXPECT_EQ(box->geometry(), QRect(16, top, 145, 21)) << name;
        EXPECT_EQ(box->Serial(), &Serial) << name;
        if (previous != nullptr) {
            EXPECT_EQ(NextTabStop(previous), box) << name;
        }
        previous = box;
        top += 40;
    }
    auto* ok = dialog.findChild<QPushButton*>("btnOK");
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_EQ(ok->geometry(), QRect(48, 264, 75, 25));
    EXPECT_EQ(NextTabStop(previous), ok);
    EXPECT_EQ(NextTabStop(ok), dialog.findChild<QWidget*>(boxes[0]));

    auto* data = dialog.findChild<TSerDataBitsComboBox*>("SerDataBitsComboBox1");
    EXPECT_EQ(data->count(), 5);
    EXPECT_EQ(data->currentText(), "8 Bit") << "lists filled from the component at creation";
    EXPECT_EQ(dialog.findChild<TSerHandshakeComboBox*>("SerHandshakeComboBox1")->count(), 4);

    dialog.show();
    ok->click();
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(DialogTest, ShowingRefreshesTheBoxesAndThePortBoxFollowsHotPlug) {
    ASSERT_TRUE(Plug(3));
    TSerialDialog dialog(&Serial);
    auto* port = dialog.findChild<TSerPortComboBox*>("SerPortComboBox1");
    auto* baud = dialog.findChild<TSerBaudComboBox*>("SerBaudComboBox1");
    auto* parity = dialog.findChild<TSerParityBitComboBox*>("SerParityBitComboBox1");
    auto* handshake = dialog.findChild<TSerHandshakeComboBox*>("SerHandshakeComboBox1");

    // Changed while the dialog is hidden: seen at the next showing.
    Serial.SetCOMPort(3);
    Serial.SetBaudrate(57600);
    Serial.SetParityBit(TParityBit::mark);
    Serial.SetHandshakeRtsCts(true);
    dialog.show();
    EXPECT_EQ(port->currentText(), "COM3");
    EXPECT_EQ(baud->currentText(), "57600 Baud");
    EXPECT_EQ(parity->currentText(), "mark");
    EXPECT_EQ(handshake->currentText(), "RTS/CTS");

    // A port appearing while the dialog is open can be chosen at once.
    ASSERT_TRUE(Plug(4));
    ASSERT_TRUE(testing_support::WaitFor([&] { return port->count() == 2; }));
    EXPECT_EQ(Entries(*port), QStringList({"COM3", "COM4"}));
    EXPECT_EQ(port->currentText(), "COM3");
    Pick(*port, 1);
    EXPECT_EQ(Serial.COMPort(), 4);
    Pick(*handshake, 1);
    EXPECT_TRUE(Serial.HandshakeXOnXOff());
    EXPECT_FALSE(Serial.HandshakeRtsCts());
    dialog.close();
}

} // namespace
