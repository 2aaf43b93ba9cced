#pragma once

#include "serial/SerialEnums.h"
#include "serial/SerialTypes.h"
#include "serial/TSerial.h"

#include <QComboBox>
#include <QPointer>
#include <QString>

#include <span>

// A drop-down list (no free text) bound to a serial component: it shows the
// choices for one setting, selects the component's current value and writes
// the user's choice straight back. Only the user's choice (activated) writes:
// a refresh that sets the selection must never write into the component.
class TSerComboBox : public QComboBox {
    Q_OBJECT
    Q_PROPERTY(TSerial* Serial READ Serial WRITE SetSerial)
public:
    // The box places itself on its owner window at once.
    explicit TSerComboBox(QWidget* Owner);
    ~TSerComboBox() override;

    // The bound component, not owned; setting it does not refresh the box.
    TSerial* Serial() const { return FSerial; }
    void SetSerial(TSerial* Value) { FSerial = Value; }

    // After the properties were set as designed: fills the list from the
    // component.
    virtual void Loaded();
    // The user chose an entry: writes it into the component, then OnChange.
    virtual void Change();
    // Rebuilds or re-captions the list and selects the component's value.
    virtual void UpdateItems() = 0;

    TNotifyEvent OnChange;

protected:
    // Replaces the entries (caption, value behind it) and selects nothing.
    void SetEntries(const QStringList& Captions, std::span<const int> Values);
    // Selects the last entry whose value is Value, or nothing.
    void SelectValue(int Value);
    // A component is bound and an entry is selected: there is a choice to write.
    bool Chosen() const { return Serial() != nullptr && currentIndex() >= 0; }
    int ChosenValue() const { return currentData().toInt(); }

private:
    QPointer<TSerial> FSerial; // a component that goes away unbinds the box
};

// The ports the port manager lists, in its order; follows hot-plug.
class TSerPortComboBox : public TSerComboBox {
    Q_OBJECT
public:
    explicit TSerPortComboBox(QWidget* Owner);
    ~TSerPortComboBox() override;

    void Change() override;
    void UpdateItems() override;
    // The port manager's list changed.
    void PortsChanged();

private:
    static void PortsChangedRoutine(void* Object);
};

// The standard rates from 50 to 921600 baud, or the part SetRange chose.
class TSerBaudComboBox : public TSerComboBox {
    Q_OBJECT
    Q_PROPERTY(QString Text READ Text WRITE SetText)
public:
    explicit TSerBaudComboBox(QWidget* Owner);

    // Offers the table's rates from the last one at most Lo to the first one
    // at least Hi; a bound between two rates widens to the next one outside.
    void SetRange(int Lo, int Hi);

    // Follows each rate in its caption; re-captions at the next refresh.
    QString Text() const { return FText; }
    void SetText(const QString& Value) { FText = Value; }

    void Change() override;
    void UpdateItems() override;

private:
    QString FText = QStringLiteral(" Baud");
};

// Data bits from Min to Max.
class TSerDataBitsComboBox : public TSerComboBox {
    Q_OBJECT
    Q_PROPERTY(QString Text READ Text WRITE SetText)
    Q_PROPERTY(TDataBits Min READ Min WRITE SetMin)
    Q_PROPERTY(TDataBits Max READ Max WRITE SetMax)
public:
    explicit TSerDataBitsComboBox(QWidget* Owner);

    QString Text() const { return FText; }
    void SetText(const QString& Value) { FText = Value; }
    // Never above Max, and never below Min: the range stays non-empty.
    TDataBits Min() const { return FMin; }
    void SetMin(TDataBits Value);
    TDataBits Max() const { return FMax; }
    void SetMax(TDataBits Value);

    void Change() override;
    void UpdateItems() override;

private:
    QString FText = QStringLiteral(" Bit");
    TDataBits FMin = TDataBits::db_4;
    TDataBits FMax = TDataBits::db_8;
};

// "1", "1,5" and "2" stop bits.
class TSerStopBitsComboBox : public TSerComboBox {
    Q_OBJECT
    Q_PROPERTY(QString Text READ Text WRITE SetText)
public:
    explicit TSerStopBitsComboBox(QWidget* Owner);

    QString Text() const { return FText; }
    void SetText(const QString& Value) { FText = Value; }

    void Change() override;
    void UpdateItems() override;

private:
    QString FText = QStringLiteral(" Bit");
};

// The five parities.
class TSerParityBitComboBox : public TSerComboBox {
    Q_OBJECT
public:
    explicit TSerParityBitComboBox(QWidget* Owner);

    void Change() override;
    void UpdateItems() override;
};

// No handshake, XON/XOFF, RTS/CTS or DTR/DSR, each kind shown or hidden.
class TSerHandshakeComboBox : public TSerComboBox {
    Q_OBJECT
    Q_PROPERTY(bool ViewNone READ ViewNone WRITE SetViewNone)
    Q_PROPERTY(bool ViewSoft READ ViewSoft WRITE SetViewSoft)
    Q_PROPERTY(bool ViewRTSCTS READ ViewRTSCTS WRITE SetViewRTSCTS)
    Q_PROPERTY(bool ViewDTRDSR READ ViewDTRDSR WRITE SetViewDTRDSR)
    Q_PROPERTY(QString TextNone READ TextNone WRITE SetTextNone)
    Q_PROPERTY(QString TextSoft READ TextSoft WRITE SetTextSoft)
    Q_PROPERTY(QString TextRTSCTS READ TextRTSCTS WRITE SetTextRTSCTS)
    Q_PROPERTY(QString TextDTRDSR READ TextDTRDSR WRITE SetTextDTRDSR)
public:
    // The value behind each entry.
    enum TKind { KindNone = 0, KindSoft = 1, KindRtsCts = 2, KindDtrDsr = 3 };

    explicit TSerHandshakeComboBox(QWidget* Owner);

    // Each setter refreshes the box only when the value differs.
    bool ViewNone() const { return FView[KindNone]; }
    void SetViewNone(bool Value) { SetView(KindNone, Value); }
    bool ViewSoft() const { return FView[KindSoft]; }
    void SetViewSoft(bool Value) { SetView(KindSoft, Value); }
    bool ViewRTSCTS() const { return FView[KindRtsCts]; }
    void SetViewRTSCTS(bool Value) { SetView(KindRtsCts, Value); }
    bool ViewDTRDSR() const { return FView[KindDtrDsr]; }
    void SetViewDTRDSR(bool Value) { SetView(KindDtrDsr, Value); }
    QString TextNone() const { return FText[KindNone]; }
    void SetTextNone(const QString& Value) { SetKindText(KindNone, Value); }
    QString TextSoft() const { return FText[KindSoft]; }
    void SetTextSoft(const QString& Value) { SetKindText(KindSoft, Value); }
    QString TextRTSCTS() const { return FText[KindRtsCts]; }
    void SetTextRTSCTS(const QString& Value) { SetKindText(KindRtsCts, Value); }
    QString TextDTRDSR() const { return FText[KindDtrDsr]; }
    void SetTextDTRDSR(const QString& Value) { SetKindText(KindDtrDsr, Value); }

    void Change() override;
    void UpdateItems() override;

private:
    void SetView(TKind Kind, bool Value);
    void SetKindText(TKind Kind, const QString& Value);
    // The kind the component's flags show as, first match wins.
    TKind ComponentKind() const;

    bool FView[4] = {true, true, true, true};
    QString FText[4] = {QStringLiteral("none"), QStringLiteral("XOn/XOff"),
                        QStringLiteral("RTS/CTS"), QStringLiteral("DTR/DSR")};
};
