// The six selector boxes: their lists, the selection they show for the
// component's values, and what a user's choice writes into it.
#include "serial_dialog/SerComboBoxes.h"
#include "tests/serial_dialog/SerialDialogTest.h"

#include <QVariant>

namespace {

using SelectorBoxTest = SerialDialogTest;

TEST_F(SelectorBoxTest, PortBoxListsTheManagersPortsAndFollowsThem) {
    ASSERT_TRUE(Plug(3));
    ASSERT_TRUE(Plug(4));
    Serial.SetCOMPort(4);
    {
        TSerPortComboBox unbound(&Owner);
        unbound.Loaded();
        EXPECT_EQ(Entries(unbound), QStringList({"COM3", "COM4"}));
        EXPECT_EQ(unbound.currentIndex(), -1) << "no component: nothing selected";
    }

    auto box = std::make_unique<TSerPortComboBox>(&Owner);
    box->SetSerial(&Serial);
    EXPECT_EQ(box->count(), 0) << "the first list comes at Loaded";
    box->Loaded();
    EXPECT_EQ(box->currentText(), "COM4");
    EXPECT_EQ(box->currentData().toInt(), 4);
    int changes = 0;
    box->OnChange = [&](QObject* sender) { changes += sender == box.get() ? 1 : 100; };
    Pick(*box, 0);
    EXPECT_EQ(Serial.COMPort(), 3);
    EXPECT_EQ(changes, 1);

    // Unplugged while shown: the list follows; the component keeps its number
    // until the user chooses, and a choice from no ports at all is port 0.
    ASSERT_TRUE(Unplug(4));
    ASSERT_TRUE(testing_support::WaitFor([&] { return box->count() == 1; }));
    EXPECT_EQ(box->currentText(), "COM3");
    ASSERT_TRUE(Unplug(3));
    ASSERT_TRUE(testing_support::WaitFor([&] { return box->count() == 0; }));
    EXPECT_EQ(Serial.COMPort(), 3);
    EXPECT_EQ(changes, 1) << "a refresh is no choice";
    box->Change();
    EXPECT_EQ(Serial.COMPort(), 0);

    // Gone with the box: the manager never calls into a freed box.
    box.reset();
    ASSERT_TRUE(Plug(3));
}

TEST_F(SelectorBoxTest, BaudBoxOffersTheRateTableAndStoresTheComponentsRate) {
    TSerBaudComboBox box(&Owner);
    EXPECT_EQ(box.count(), 21);
    EXPECT_EQ(box.currentIndex(), -1) << "no component: nothing selected";
    box.SetSerial(&Serial);
    Serial.SetBaudrate(9600);
    box.Loaded();
    EXPECT_EQ(box.itemText(0), "50 Baud");
    EXPECT_EQ(box.itemText(20), "921600 Baud");
    EXPECT_EQ(box.currentText(), "9600 Baud");

    // Re-captioned at the next refresh, order and values kept.
    ASSERT_TRUE(box.setProperty("Text", QString(" bps")));
    EXPECT_EQ(box.itemText(8), "9600 Baud");
    box.UpdateItems();
    EXPECT_EQ(box.itemText(8), "9600 bps");
    EXPECT_EQ(box.itemData(8).toInt(), 9600);
    EXPECT_EQ(box.currentIndex(), 8);
    box.SetText(" Baud");

    // Every table rate is stored as chosen, except 56000, which the
    // component snaps to 56195: the next refresh then finds no entry.
    int changes = 0;
    box.OnChange = [&](QObject*) { ++changes; };
    for (int i = 0; i < box.count(); ++i) {
        const int rate = box.itemData(i).toInt();
        Pick(box, i);
        EXPECT_EQ(Serial.Baudrate(), rate == 56000 ? 56195 : rate) << rate;
        box.UpdateItems();
        EXPECT_EQ(box.currentIndex(), rate == 56000 ? -1 : i) << rate;
    }
    EXPECT_EQ(changes, 21) << "one change per choice, none per refresh";

    // SetRange widens a bound that falls between two rates; an empty range
    // leaves the list as it was.
    struct Range {
        int Lo, Hi, Count;
        const char* First;
        const char* Last;
    };
    const Range ranges[] = {
        {100, 20000, 12, "50 Baud", "28800 Baud"},
        {9600, 9600, 1, "9600 Baud", "9600 Baud"},
        {0, 2000000, 21, "50 Baud", "921600 Baud"},
        {1200, 600, 21, "50 Baud", "921600 Baud"},
        {115200, 115201, 2, "115200 Baud", "128000 Baud"},
    };
    Serial.SetBaudrate(115200);
    for (const Range& r : ranges) {
        box.SetRange(r.Lo, r.Hi);
        ASSERT_EQ(box.count(), r.Count) << r.Lo << "-" << r.Hi;
        EXPECT_EQ(box.itemText(0), r.First) << r.Lo << "-" << r.Hi;
        EXPECT_EQ(box.itemText(box.count() - 1), r.Last) << r.Lo << "-" << r.Hi;
        const bool offered = box.findData(115200) >= 0;
        EXPECT_EQ(box.currentText(), offered ? "115200 Baud" : "") << r.Lo << "-" << r.Hi;
    }
}

TEST_F(SelectorBoxTest, DataBitsBoxOffersMinToMax) {
    TSerDataBitsComboBox box(&Owner);
    EXPECT_EQ(Entries(box), QStringList({"4 Bit", "5 Bit", "6 Bit", "7 Bit", "8 Bit"}));
    box.SetSerial(&Serial);
    // As the form sets them.
    ASSERT_TRUE(box.setProperty("Min", QVariant::fromValue(TDataBits::db_5)));
    ASSERT_TRUE(box.setProperty("Max", QVariant::fromValue(TDataBits::db_7)));
    Serial.SetDataBits(TDataBits::db_7);
    box.Loaded();
    EXPECT_EQ(Entries(box), QStringList({"5 Bit", "6 Bit", "7 Bit"}));
    EXPECT_EQ(box.currentIndex(), 2);
    Pick(box, 0);
    EXPECT_EQ(Serial.DataBits(), TDataBits::db_5);

    Serial.SetDataBits(TDataBits::db_8); // outside Min..Max
    box.UpdateItems();
    EXPECT_EQ(box.currentIndex(), -1);
    EXPECT_EQ(Serial.DataBits(), TDataBits::db_8) << "nothing written until the user picks";

    box.SetMin(TDataBits::db_8); // above Max
    EXPECT_EQ(box.Min(), TDataBits::db_7);
    EXPECT_EQ(Entries(box), QStringList({"7 Bit"}));
    box.SetMax(TDataBits::db_4); // below Min
    EXPECT_EQ(box.Max(), TDataBits::db_7);
    box.SetMin(TDataBits::db_4);
    box.SetMax(TDataBits::db_8);
    EXPECT_EQ(box.count(), 5);
    EXPECT_EQ(box.currentText(), "8 Bit");
}

// Stop bits and parity: fixed lists, the entry index is the value.
TEST_F(SelectorBoxTest, StopBitsAndParityBoxesMapEntriesToValues) {
    TSerStopBitsComboBox stop(&Owner);
    TSerParityBitComboBox parity(&Owner);
    EXPECT_EQ(Entries(stop), QStringList({"1 Bit", "1,5 Bit", "2 Bit"}));
    EXPECT_EQ(Entries(parity), QStringList({"none", "odd", "even", "mark", "space"}));
    // Without a component a box selects nothing and writes nothing.
    Pick(stop, 2);
    Pick(parity, 1);
    EXPECT_EQ(Serial.StopBits(), TStopBits::sb_1);
    EXPECT_EQ(Serial.ParityBit(), TParityBit::none);

    stop.SetSerial(&Serial);
    parity.SetSerial(&Serial);
    for (int i = 0; i < 3; ++i) {
        Pick(stop, i);
        EXPECT_EQ(Serial.StopBits(), static_cast<TStopBits>(i));
    }
    for (int i = 0; i < 5; ++i) {
        Pick(parity, i);
        EXPECT_EQ(Serial.ParityBit(), static_cast<TParityBit>(i));
        EXPECT_EQ(Serial.ParityCheck(), i != 0);
    }
    Serial.SetStopBits(TStopBits::sb_15);
    Serial.SetParityBit(TParityBit::even);
    stop.SetText(" stop");
    stop.UpdateItems();
    parity.UpdateItems();
    EXPECT_EQ(stop.currentText(), "1,5 stop");
    EXPECT_EQ(parity.currentText(), "even");
}

TEST_F(SelectorBoxTest, HandshakeBoxShowsTheFirstMatchingKindAndSetsExactlyOne) {
    struct Row {
        bool XOn, Rts, Dtr;
        bool ViewNone, ViewSoft;
        const char* Shown; // "" for no selection
    };
    const Row rows[] = {
        {true, true, false, true, true, "XOn/XOff"}, {true, true, false, true, false, "RTS/CTS"},
        {false, false, true, true, true, "DTR/DSR"}, {true, true, true, true, true, "XOn/XOff"},
        {false, false, false, true, true, "none"},   {false, false, false, false, true, ""},
        {true, false, false, true, false, "none"},   {true, false, false, false, false, ""},
    };
    TSerHandshakeComboBox box(&Owner);
    box.SetSerial(&Serial);
    for (const Row& row : rows) {
        Serial.SetHandshakeXOnXOff(row.XOn);
        Serial.SetHandshakeRtsCts(row.Rts);
        Serial.SetHandshakeDtrDsr(row.Dtr);
        box.SetViewNone(row.ViewNone);
        box.SetViewSoft(row.ViewSoft);
        box.UpdateItems();
        const auto where = testing::Message()
                           << row.XOn << row.Rts << row.Dtr << row.ViewNone << row.ViewSoft;
        EXPECT_EQ(box.currentText(), row.Shown) << where;
        // Showing the component's handshake never writes it back.
        EXPECT_EQ(Serial.HandshakeXOnXOff(), row.XOn) << where;
        EXPECT_EQ(Serial.HandshakeRtsCts(), row.Rts) << where;
    }

    box.SetViewNone(true);
    box.SetViewSoft(true);
    EXPECT_EQ(Entries(box), QStringList({"none", "XOn/XOff", "RTS/CTS", "DTR/DSR"}));
    Serial.SetHandshakeXOnXOff(true);
    Serial.SetHandshakeDtrDsr(true);
    Pick(box, 2);
    EXPECT_FALSE(Serial.HandshakeXOnXOff());
    EXPECT_TRUE(Serial.HandshakeRtsCts());
    EXPECT_FALSE(Serial.HandshakeDtrDsr());
    Pick(box, 0);
    EXPECT_FALSE(Serial.HandshakeRtsCts());

    // A new text or view shows at once.
    box.SetTextRTSCTS("hardware");
    box.SetViewDTRDSR(false);
    EXPECT_EQ(Entries(box), QStringList({"none", "XOn/XOff", "hardware"}));
    EXPECT_EQ(box.currentText(), "none");
}

} // namespace
