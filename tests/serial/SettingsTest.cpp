#include "serial/TSerial.h"

#include <gtest/gtest.h>

namespace {

// The main window's form values, applied in the form's order.
void ApplyFormValues(TSerial& S) {
    S.SetCOMPort(1);
    S.SetThreadPriority(TThreadPriority::tpNormal);
    S.SetBaudrate(9600);
    S.SetDataBits(TDataBits::db_8);
    S.SetParityBit(TParityBit::none);
    S.SetStopBits(TStopBits::sb_1);
    S.SetBufSizeTrm(4096);
    S.SetBufSizeRec(4096);
    S.SetHandshakeRtsCts(false);
    S.SetHandshakeDtrDsr(false);
    S.SetHandshakeXOnXOff(false);
    S.SetRTSActive(true);
    S.SetDTRActive(true);
    S.SetXOnChar(0x11);
    S.SetXOffChar(0x13);
    S.SetXOffLimit(1600);
    S.SetXOnLimit(400);
    S.SetErrorChar('?');
    S.SetEofChar(0x1A);
    S.SetEventChar(0x0D);
    S.SetDataSize(0);
    S.SetRecTimeOut(0);
    S.SetTrmTimeOut(0);
    S.SetSyncEventHandling(true);
}

const QByteArray kExample =
    "RRS10010096004000000409600004096000110170190000160000000400063026013000"
    "000000000000000000000102";

TSerialSettings FormRecord() {
    TSerial serial;
    ApplyFormValues(serial);
    TSerialSettings s;
    serial.GetSettings(s);
    s.COMPort = 1; // COM1 is disabled in tests; the record carries it directly
    return s;
}

QByteArray WithCheck(QByteArray Text) {
    uint8_t sum = 0;
    for (int i = 0; i < 92; ++i)
        sum ^= static_cast<uint8_t>(Text[i]);
    Text.replace(92, 3, QByteArray::number(sum).rightJustified(3, '0'));
    return Text;
}

TEST(SettingsString, FormValuesGiveTheExampleString) {
    const QByteArray text = EncodeSettings(FormRecord());
    EXPECT_EQ(text, kExample);
    EXPECT_EQ(text.size(), 95);
}

TEST(SettingsString, RoundTripKeepsEveryFieldAndSetSettingsChangesNothing) {
    TSerial serial;
    serial.SetBaudrate(57600);
    serial.SetParityBit(TParityBit::mark);
    serial.SetStopBits(TStopBits::sb_15);
    serial.SetXOnChar(static_cast<char>(0xFE));
    serial.SetEventChar(static_cast<char>(0xB5));
    serial.SetUseErrorChar(true);
    serial.SetRecTimeOut(2147483647);
    TSerialSettings before;
    serial.GetSettings(before);
    QByteArray text;
    serial.SettingsToString(before, text);

    TSerial other;
    TSerialSettings decoded;
    other.StringToSettings(text, decoded);
    ASSERT_TRUE(decoded.Valid);
    EXPECT_EQ(decoded, before);

    serial.SetSettings(decoded);
    TSerialSettings after;
    serial.GetSettings(after);
    EXPECT_EQ(after, before);
}

TEST(SettingsString, BadTextsAreRefusedAndLeaveTheCurrentSettings) {
    TSerial serial;
    TSerialSettings current;
    serial.GetSettings(current);
    current.Valid = false;
    for (const QByteArray& text : {QByteArray(), QByteArray("RRS1"), QByteArray("RRS10")}) {
        TSerialSettings s;
        serial.StringToSettings(text, s);
        EXPECT_EQ(s, current) << text.constData();
    }
    // A changed digit without a fixed check.
    QByteArray changed = kExample;
    changed[10] = '7';
    TSerialSettings s;
    serial.StringToSettings(changed, s);
    EXPECT_FALSE(s.Valid);
    QByteArray signature = WithCheck(QByteArray(kExample).replace(0, 4, "RRS2"));
    serial.StringToSettings(signature, s);
    EXPECT_FALSE(s.Valid);
}

TEST(SettingsString, RangeChecksStopTheDecodeAfterTheFieldsBefore) {
    TSerial serial;
    TSerialSettings s;
    serial.StringToSettings(WithCheck(QByteArray(kExample).replace(7, 6, "000049")), s);
    EXPECT_FALSE(s.Valid);
    EXPECT_EQ(s.COMPort, 1); // read before the failing field
    EXPECT_EQ(s.Baudrate, 9600);
    serial.StringToSettings(WithCheck(QByteArray(kExample).replace(15, 1, "3")), s);
    EXPECT_FALSE(s.Valid);
    EXPECT_EQ(s.ParityBit, TParityBit::none);
    // Only plain digits are numbers.
    serial.StringToSettings(WithCheck(QByteArray(kExample).replace(16, 8, "+0004096")), s);
    EXPECT_FALSE(s.Valid);
    serial.StringToSettings(WithCheck(QByteArray(kExample).replace(16, 8, " 0004096")), s);
    EXPECT_FALSE(s.Valid);
}

TEST(SettingsString, CharacterFieldsNeverFailAndTakeTheLowByte) {
    TSerial serial;
    TSerialSettings s;
    serial.StringToSettings(WithCheck(QByteArray(kExample).replace(37, 3, "x1?")), s);
    EXPECT_TRUE(s.Valid);
    EXPECT_EQ(s.XOnChar, '\0');
    serial.StringToSettings(WithCheck(QByteArray(kExample).replace(37, 3, "999")), s);
    EXPECT_TRUE(s.Valid);
    EXPECT_EQ(static_cast<uint8_t>(s.XOnChar), 999 & 0xFF);
}

TEST(SettingsString, InvalidRecordEncodesEmptyAndIsNotApplied) {
    TSerialSettings s = FormRecord();
    s.Valid = false;
    EXPECT_TRUE(EncodeSettings(s).isEmpty());
    TSerial serial;
    s.Baudrate = 1200;
    serial.SetSettings(s);
    EXPECT_EQ(serial.Baudrate(), 9600);
}

TEST(SettingsString, OutOfRangeValuesAreCutOrRefused) {
    TSerialSettings s = FormRecord();
    s.BufSizeTrm = 123456789; // nine digits in eight: the last is cut
    s.RecTimeOut = -5;        // the sign stays in the field
    const QByteArray text = EncodeSettings(s);
    EXPECT_EQ(text.mid(16, 8), "12345678");
    EXPECT_EQ(text.mid(72, 10), "00000000-5");
    TSerialSettings back;
    DecodeSettings(text, back);
    EXPECT_FALSE(back.Valid);
}

TEST(SettingsString, SetSettingsSkipsAnUnlistedPortAndAppliesTheRest) {
    TSerial serial;
    const int before = serial.COMPort();
    TSerialSettings s = FormRecord();
    s.COMPort = 7;
    s.Baudrate = 56000;
    s.XOnLimit = 5000;
    serial.SetSettings(s);
    EXPECT_EQ(serial.COMPort(), before);
    EXPECT_EQ(serial.Baudrate(), 56195);
    EXPECT_EQ(serial.XOnLimit(), 1599);
}

} // namespace
