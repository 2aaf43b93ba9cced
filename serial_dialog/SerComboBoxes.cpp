#include "serial_dialog/SerComboBoxes.h"

#include "serial/TCOMManager.h"
#include "serial/TSerial.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {

constexpr std::array<int, 21> kRates = {50,    110,    150,    300,    600,    1200,   2400,
                                        4800,  9600,   14400,  19200,  28800,  38400,  56000,
                                        57600, 115200, 128000, 230400, 256000, 460800, 921600};

int Ordinal(TDataBits Value) {
    return static_cast<int>(Value);
}

// The values 0..Count-1 behind a list of fixed entries.
std::vector<int> Indices(int Count) {
    std::vector<int> values(static_cast<size_t>(Count));
    for (int i = 0; i < Count; ++i)
        values[static_cast<size_t>(i)] = i;
    return values;
}

} // namespace

// --- TSerComboBox -----------------------------------------------------------

TSerComboBox::TSerComboBox(QWidget* Owner) : QComboBox(Owner) {
    setEditable(false);
    // Only the user's choice: a refresh selecting the component's value is
    // not one, or it would write that value (or a default) back.
    connect(this, &QComboBox::activated, this, [this](int) { Change(); });
}

TSerComboBox::~TSerComboBox() = default;

void TSerComboBox::Loaded() {
    UpdateItems();
}

void TSerComboBox::Change() {
    if (OnChange)
        OnChange(this);
}

void TSerComboBox::SetEntries(const QStringList& Captions, std::span<const int> Values) {
    clear();
    for (qsizetype i = 0; i < Captions.size(); ++i)
        addItem(Captions[i], Values[static_cast<size_t>(i)]);
    setCurrentIndex(-1); // a list box selects its first entry on its own
}

void TSerComboBox::SelectValue(int Value) {
    for (int i = count() - 1; i >= 0; --i)
        if (itemData(i).toInt() == Value) {
            setCurrentIndex(i);
            return;
        }
    setCurrentIndex(-1);
}

// --- TSerPortComboBox ---------------------------------------------------------

TSerPortComboBox::TSerPortComboBox(QWidget* Owner) : TSerComboBox(Owner) {
    if (COMManager != nullptr)
        COMManager->AddListener({&TSerPortComboBox::PortsChangedRoutine, this});
}

TSerPortComboBox::~TSerPortComboBox() {
    if (COMManager != nullptr)
        COMManager->RemoveListener({&TSerPortComboBox::PortsChangedRoutine, this});
}

void TSerPortComboBox::PortsChangedRoutine(void* Object) {
    static_cast<TSerPortComboBox*>(Object)->PortsChanged();
}

void TSerPortComboBox::PortsChanged() {
    UpdateItems();
}

void TSerPortComboBox::UpdateItems() {
    QStringList names;
    std::vector<int> ports;
    for (int i = 0; COMManager != nullptr && i < COMManager->Count(); ++i) {
        names << COMManager->Name(i);
        ports.push_back(COMManager->Entry(i).Port);
    }
    SetEntries(names, ports);
    if (Serial() != nullptr && count() > 0)
        SelectValue(Serial()->COMPort());
}

void TSerPortComboBox::Change() {
    if (Serial() != nullptr) {
        if (COMManager == nullptr || COMManager->Count() == 0)
            Serial()->SetCOMPort(0);
        else
            Serial()->SelectPortIndex(currentIndex());
    }
    TSerComboBox::Change();
}

// --- TSerBaudComboBox -----------------------------------------------------------

TSerBaudComboBox::TSerBaudComboBox(QWidget* Owner) : TSerComboBox(Owner) {
    SetRange(kRates.front(), kRates.back());
}

void TSerBaudComboBox::SetRange(int Lo, int Hi) {
    int low = 0;
    for (int i = 0; i < static_cast<int>(kRates.size()); ++i)
        if (kRates[static_cast<size_t>(i)] <= Lo)
            low = i;
    const auto first = std::find_if(kRates.begin(), kRates.end(), [Hi](int r) { return r >= Hi; });
    const int high =
        first == kRates.end() ? static_cast<int>(kRates.size()) - 1 : int(first - kRates.begin());
    if (high < low)
        return;
    const auto offered = std::span<const int>(kRates).subspan(static_cast<size_t>(low),
                                                              static_cast<size_t>(high - low + 1));
    QStringList captions;
    for (int rate : offered)
        captions << QString::number(rate) + FText;
    SetEntries(captions, offered);
    UpdateItems();
}

void TSerBaudComboBox::UpdateItems() {
    if (count() == 0)
        return;
    for (int i = 0; i < count(); ++i)
        setItemText(i, QString::number(itemData(i).toInt()) + FText);
    if (Serial() != nullptr)
        SelectValue(Serial()->Baudrate());
}

void TSerBaudComboBox::Change() {
    if (Chosen())
        Serial()->SetBaudrate(ChosenValue()); // the component snaps the rate
    TSerComboBox::Change();
}

// --- TSerDataBitsComboBox -------------------------------------------------------

TSerDataBitsComboBox::TSerDataBitsComboBox(QWidget* Owner) : TSerComboBox(Owner) {
    UpdateItems();
}

void TSerDataBitsComboBox::SetMin(TDataBits Value) {
    FMin = std::min(Value, FMax);
    UpdateItems();
}

void TSerDataBitsComboBox::SetMax(TDataBits Value) {
    FMax = std::max(Value, FMin);
    UpdateItems();
}

void TSerDataBitsComboBox::UpdateItems() {
    QStringList captions;
    std::vector<int> values;
    for (int v = Ordinal(FMin); v <= Ordinal(FMax); ++v) {
        captions << QString::number(v + 4) + FText;
        values.push_back(v);
    }
    SetEntries(captions, values);
    if (Serial() != nullptr)
        SelectValue(Ordinal(Serial()->DataBits())); // outside Min..Max: nothing
}

void TSerDataBitsComboBox::Change() {
    if (Chosen())
        Serial()->SetDataBits(static_cast<TDataBits>(ChosenValue()));
    TSerComboBox::Change();
}

// --- TSerStopBitsComboBox -------------------------------------------------------

TSerStopBitsComboBox::TSerStopBitsComboBox(QWidget* Owner) : TSerComboBox(Owner) {
    UpdateItems();
}

void TSerStopBitsComboBox::UpdateItems() {
    SetEntries({"1" + FText, "1,5" + FText, "2" + FText}, Indices(3));
    if (Serial() != nullptr)
        SelectValue(static_cast<int>(Serial()->StopBits()));
}

void TSerStopBitsComboBox::Change() {
    if (Chosen())
        Serial()->SetStopBits(static_cast<TStopBits>(ChosenValue()));
    TSerComboBox::Change();
}

// --- TSerParityBitComboBox ------------------------------------------------------

TSerParityBitComboBox::TSerParityBitComboBox(QWidget* Owner) : TSerComboBox(Owner) {
    UpdateItems();
}

void TSerParityBitComboBox::UpdateItems() {
    SetEntries({"none", "odd", "even", "mark", "space"}, Indices(5));
    if (Serial() != nullptr)
        SelectValue(static_cast<int>(Serial()->ParityBit()));
}

void TSerParityBitComboBox::Change() {
    if (Chosen())
        Serial()->SetParityBit(static_cast<TParityBit>(ChosenValue()));
    TSerComboBox::Change();
}

// --- TSerHandshakeComboBox ------------------------------------------------------

TSerHandshakeComboBox::TSerHandshakeComboBox(QWidget* Owner) : TSerComboBox(Owner) {
    UpdateItems();
}

void TSerHandshakeComboBox::SetView(TKind Kind, bool Value) {
    if (FView[Kind] == Value)
        return;
    FView[Kind] = Value;
    UpdateItems();
}

void TSerHandshakeComboBox::SetKindText(TKind Kind, const QString& Value) {
    if (FText[Kind] == Value)
        return;
    FText[Kind] = Value;
    UpdateItems();
}

TSerHandshakeComboBox::TKind TSerHandshakeComboBox::ComponentKind() const {
    const TSerial& serial = *Serial();
    if (serial.HandshakeXOnXOff() && FView[KindSoft])
        return KindSoft;
    if (serial.HandshakeRtsCts() && FView[KindRtsCts])
        return KindRtsCts;
    if (serial.HandshakeDtrDsr() && FView[KindDtrDsr])
        return KindDtrDsr;
    return KindNone;
}

void TSerHandshakeComboBox::UpdateItems() {
    QStringList captions;
    std::vector<int> kinds;
    for (TKind kind : {KindNone, KindSoft, KindRtsCts, KindDtrDsr})
        if (FView[kind]) {
            captions << FText[kind];
            kinds.push_back(kind);
        }
    SetEntries(captions, kinds);
    if (Serial() != nullptr && count() > 0)
        SelectValue(ComponentKind()); // a hidden kind selects nothing
}

void TSerHandshakeComboBox::Change() {
    if (Chosen()) {
        const int kind = ChosenValue();
        Serial()->SetHandshakeXOnXOff(kind == KindSoft);
        Serial()->SetHandshakeRtsCts(kind == KindRtsCts);
        Serial()->SetHandshakeDtrDsr(kind == KindDtrDsr);
    }
    TSerComboBox::Change();
}
