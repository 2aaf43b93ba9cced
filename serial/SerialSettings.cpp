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

constexpr long long kAny = INT32_MAX; // wider values do not fit the record

} // namespace

QByteArray EncodeSettings(const TSerialSettings& S) {
    if (!S.Valid)
        return {};
    TBuffer b{};
    std::memcpy(b.data(), kSignature, 4);
    auto ch = [](char c) { return static_cast<long long>(static_cast<uint8_t>(c)); };
    PutNumber(b, 4, 3, S.COMPort);
    PutNumber(b, 7, 6, S.Baudrate);
    PutNumber(b, 13, 1, static_cast<int>(S.DataBits));
    PutNumber(b, 14, 1, static_cast<int>(S.ParityBit));
    PutNumber(b, 15, 1, static_cast<int>(S.StopBits));
    PutNumber(b, 16, 8, S.BufSizeTrm);
    PutNumber(b, 24, 8, S.BufSizeRec);
    PutNumber(b, 32, 1, S.HandshakeRtsCts);
    PutNumber(b, 33, 1, S.HandshakeDtrDsr);
    PutNumber(b, 34, 1, S.HandshakeXOnXOff);
    PutNumber(b, 35, 1, S.RTSActive);
    PutNumber(b, 36, 1, S.DTRActive);
    PutNumber(b, 37, 3, ch(S.XOnChar));
    PutNumber(b, 40, 3, ch(S.XOffChar));
    PutNumber(b, 43, 8, S.XOffLimit);
    PutNumber(b, 51, 8, S.XOnLimit);
    PutNumber(b, 59, 3, ch(S.ErrorChar));
    PutNumber(b, 62, 3, ch(S.EofChar));
    PutNumber(b, 65, 3, ch(S.EventChar));
    PutNumber(b, 68, 1, S.ContinueOnXOff);
    PutNumber(b, 69, 1, S.UseErrorChar);
    PutNumber(b, 70, 1, S.EliminateNullChar);
    PutNumber(b, 71, 1, S.AbortOnError);
    PutNumber(b, 72, 10, S.RecTimeOut);
    PutNumber(b, 82, 10, S.TrmTimeOut);
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
    r.Int(4, 3, S.COMPort, 0, kAny);
    r.Int(7, 6, S.Baudrate, 50, 921600);
    r.Int(13, 1, S.DataBits, 0, 4);
    r.Int(14, 1, S.ParityBit, 0, 4);
    r.Int(15, 1, S.StopBits, 0, 2);
    r.Int(16, 8, S.BufSizeTrm, 0, kAny);
    r.Int(24, 8, S.BufSizeRec, 0, kAny);
    r.Bool(32, S.HandshakeRtsCts);
    r.Bool(33, S.HandshakeDtrDsr);
    r.Bool(34, S.HandshakeXOnXOff);
    r.Bool(35, S.RTSActive);
    r.Bool(36, S.DTRActive);
    r.Char(37, S.XOnChar);
    r.Char(40, S.XOffChar);
    r.Int(43, 8, S.XOffLimit, 0, kAny);
    r.Int(51, 8, S.XOnLimit, 0, kAny);
    r.Char(59, S.ErrorChar);
    r.Char(62, S.EofChar);
    r.Char(65, S.EventChar);
    r.Bool(68, S.ContinueOnXOff);
    r.Bool(69, S.UseErrorChar);
    r.Bool(70, S.EliminateNullChar);
    r.Bool(71, S.AbortOnError);
    r.Int(72, 10, S.RecTimeOut, 0, kAny);
    r.Int(82, 10, S.TrmTimeOut, 0, kAny);
    S.Valid = r.Ok;
}
