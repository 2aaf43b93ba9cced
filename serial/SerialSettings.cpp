#include "serial/SerialSettings.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace {

constexpr int kBufferSize = 128;
constexpr int kChecked = 92; // bytes 0..91 are covered by the check
constexpr char kSignature[] = "RRS1";

using TBuffer = std::array<char, kBufferSize>;

// Left-pads the decimal text with "0" to Width and cuts it to its leading
// Width characters. A negative value keeps its "-" sign inside the field
// (-5 in 6 becomes "0000-5"), which the decoder then refuses; a value wider
// than the field loses its trailing digits. Neither comes out of the
// component's own setters.
void PutNumber(TBuffer& Buffer, int Pos, int Width, long long Value) {
    QByteArray digits = QByteArray::number(Value);
    if (digits.size() < Width)
        digits.prepend(QByteArray(Width - digits.size(), '0'));
    std::memcpy(Buffer.data() + Pos, digits.constData(), static_cast<size_t>(Width));
}

uint8_t Check(const TBuffer& Buffer) {
    uint8_t sum = 0;
    for (int i = 0; i < kChecked; ++i)
        sum ^= static_cast<uint8_t>(Buffer[static_cast<size_t>(i)]);
    return sum;
}

// Plain decimal digits only; the text ends early at a zero byte. Anything
// else (empty, a sign, a blank, a letter) is malformed.
bool ReadNumber(const TBuffer& Buffer, int Pos, int Width, long long& Value) {
    Value = 0;
    int count = 0;
    for (int i = Pos; i < Pos + Width; ++i) {
        const char c = Buffer[static_cast<size_t>(i)];
        if (c == '\0')
            break;
        if (c < '0' || c > '9')
            return false;
        Value = Value * 10 + (c - '0');
        ++count;
    }
    return count > 0;
}

// Walks the fields in their order; every read stops once one has failed.
class TFieldReader {
public:
    explicit TFieldReader(const TBuffer& Buffer) : FBuffer(Buffer) {}
    bool Ok = true;

    template <typename T> void Int(int Pos, int Width, T& Field, long long Min, long long Max) {
        long long v = 0;
        if (!Ok)
            return;
        if (!ReadNumber(FBuffer, Pos, Width, v) || v < Min || v > Max) {
            Ok = false;
            return;
        }
        Field = static_cast<T>(v);
    }
    void Bool(int Pos, bool& Field) {
        long long v = 0;
        if (!Ok)
            return;
        Ok = ReadNumber(FBuffer, Pos, 1, v);
        if (Ok)
            Field = v > 0;
    }
    // A character field never affects the outcome; one that is not a number
    // decodes to 0.
    void Char(int Pos, char& Field) {
        long long v = 0;
        if (!Ok)
            return;
        Field = ReadNumber(FBuffer, Pos, 3, v) ? static_cast<char>(v & 0xFF) : '\0';
    }

private:
    const TBuffer& FBuffer;
};

// Writes the fields; the ranges are the reader's alone.
class TFieldWriter {
public:
    explicit TFieldWriter(TBuffer& Buffer) : FBuffer(Buffer) {}

    template <typename T> void Int(int Pos, int Width, const T& Field, long long, long long) {
        PutNumber(FBuffer, Pos, Width, static_cast<long long>(Field));
    }
    void Bool(int Pos, bool Field) { PutNumber(FBuffer, Pos, 1, Field); }
    void Char(int Pos, char Field) { PutNumber(FBuffer, Pos, 3, static_cast<uint8_t>(Field)); }

private:
    TBuffer& FBuffer;
};

constexpr long long kAny = INT32_MAX; // wider values do not fit the record

// The layout of the settings string, in field order, for both directions.
template <typename Record, typename Visitor> void ForEachField(Record& S, Visitor& V) {
    V.Int(4, 3, S.COMPort, 0, kAny);
    V.Int(7, 6, S.Baudrate, 50, 921600);
    V.Int(13, 1, S.DataBits, 0, 4);
    V.Int(14, 1, S.ParityBit, 0, 4);
    V.Int(15, 1, S.StopBits, 0, 2);
    V.Int(16, 8, S.BufSizeTrm, 0, kAny);
    V.Int(24, 8, S.BufSizeRec, 0, kAny);
    V.Bool(32, S.HandshakeRtsCts);
    V.Bool(33, S.HandshakeDtrDsr);
    V.Bool(34, S.HandshakeXOnXOff);
    V.Bool(35, S.RTSActive);
    V.Bool(36, S.DTRActive);
    V.Char(37, S.XOnChar);
    V.Char(40, S.XOffChar);
    V.Int(43, 8, S.XOffLimit, 0, kAny);
    V.Int(51, 8, S.XOnLimit, 0, kAny);
    V.Char(59, S.ErrorChar);
    V.Char(62, S.EofChar);
    V.Char(65, S.EventChar);
    V.Bool(68, S.ContinueOnXOff);
    V.Bool(69, S.UseErrorChar);
    V.Bool(70, S.EliminateNullChar);
    V.Bool(71, S.AbortOnError);
    V.Int(72, 10, S.RecTimeOut, 0, kAny);
    V.Int(82, 10, S.TrmTimeOut, 0, kAny);
}

} // namespace

QByteArray EncodeSettings(const TSerialSettings& S) {
    if (!S.Valid)
        return {};
    TBuffer b{};
    std::memcpy(b.data(), kSignature, 4);
    TFieldWriter writer(b);
    ForEachField(S, writer);
    PutNumber(b, kChecked, 3, Check(b));
    return QByteArray(b.data()); // up to the first zero byte: 95 characters
}

void DecodeSettings(const QByteArray& Text, TSerialSettings& S) {
    S.Valid = false;
    if (Text.size() <= 4)
        return;
    TBuffer b{};
    std::memcpy(b.data(), Text.constData(),
                static_cast<size_t>(std::min<qsizetype>(Text.size(), kBufferSize - 1)));
    TFieldReader r(b);
    r.Ok = std::memcmp(b.data(), kSignature, 4) == 0;
    if (r.Ok) {
        long long check = -1;
        r.Ok = ReadNumber(b, kChecked, 3, check) && check == Check(b);
    }
    ForEachField(S, r);
    S.Valid = r.Ok;
}
