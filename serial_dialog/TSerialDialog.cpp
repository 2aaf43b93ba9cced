#include "serial_dialog/TSerialDialog.h"

#include "serial/TSerial.h"
#include "serial_dialog/SerComboBoxes.h"

#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

namespace {

constexpr int kLeft = 16;
constexpr int kBoxWidth = 145;
constexpr int kBoxHeight = 21;

// Places a box as designed and binds it; its list is filled once all its
// properties are set (Loaded).
template <typename TBox> TBox* MakeBox(QWidget* Owner, const char* Name, int Top, TSerial* Serial) {
    auto* box = new TBox(Owner);
    box->setObjectName(QLatin1String(Name));
    box->setGeometry(kLeft, Top, kBoxWidth, kBoxHeight);
    box->SetSerial(Serial);
    return box;
}

} // namespace

TSerialDialog::TSerialDialog(TSerial* Serial1, QWidget* Parent)
    : QDialog(Parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("SerialDialog"));
    setWindowTitle(QStringLiteral("COM - Settings"));
    setFixedSize(174, 299);

    QLabel* portLabel = MakeLabel("Label1", "Port:", 8);
    SerPortComboBox1 = MakeBox<TSerPortComboBox>(this, "SerPortComboBox1", 24, Serial1);
    QLabel* baudLabel = MakeLabel("Label2", "Baud:", 48);
    SerBaudComboBox1 = MakeBox<TSerBaudComboBox>(this, "SerBaudComboBox1", 64, Serial1);
    SerBaudComboBox1->SetText(QStringLiteral(" Baud"));
    QLabel* dataLabel = MakeLabel("Label3", "Data:", 88);
    SerDataBitsComboBox1 =
        MakeBox<TSerDataBitsComboBox>(this, "SerDataBitsComboBox1", 104, Serial1);
    SerDataBitsComboBox1->SetText(QStringLiteral(" Bit"));
    SerDataBitsComboBox1->SetMin(TDataBits::db_4);
    SerDataBitsComboBox1->SetMax(TDataBits::db_8);
    QLabel* stopLabel = MakeLabel("Label4", "Stop:", 128);
    SerStopBitsComboBox1 =
        MakeBox<TSerStopBitsComboBox>(this, "SerStopBitsComboBox1", 144, Serial1);
    SerStopBitsComboBox1->SetText(QStringLiteral(" Bit"));
    QLabel* parityLabel = MakeLabel("Label5", "Parity:", 168);
    SerParityBitComboBox1 =
        MakeBox<TSerParityBitComboBox>(this, "SerParityBitComboBox1", 184, Serial1);
    QLabel* handshakeLabel = MakeLabel("Label6", "Handshake:", 208);
    SerHandshakeComboBox1 =
        MakeBox<TSerHandshakeComboBox>(this, "SerHandshakeComboBox1", 224, Serial1);

    // A screen reader names each box by its label.
    portLabel->setBuddy(SerPortComboBox1);
    baudLabel->setBuddy(SerBaudComboBox1);
    dataLabel->setBuddy(SerDataBitsComboBox1);
    stopLabel->setBuddy(SerStopBitsComboBox1);
    parityLabel->setBuddy(SerParityBitComboBox1);
    handshakeLabel->setBuddy(SerHandshakeComboBox1);

    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setGeometry(48, 264, 75, 25);
    connect(btnOK, &QPushButton::clicked, this, [this] { btnOKClick(btnOK); });

    QWidget* order[] = {SerPortComboBox1,
                        SerBaudComboBox1,
                        SerDataBitsComboBox1,
                        SerStopBitsComboBox1,
                        SerParityBitComboBox1,
                        SerHandshakeComboBox1,
                        btnOK};
    for (size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);

    for (TSerComboBox* box : std::initializer_list<TSerComboBox*>{
             SerPortComboBox1, SerBaudComboBox1, SerDataBitsComboBox1, SerStopBitsComboBox1,
             SerParityBitComboBox1, SerHandshakeComboBox1})
        box->Loaded();
}

TSerialDialog::~TSerialDialog() = default;

QLabel* TSerialDialog::MakeLabel(const char* Name, const char* Caption, int Top) {
    auto* label = new QLabel(QLatin1String(Caption), this);
    label->setObjectName(QLatin1String(Name));
    label->move(kLeft, Top);
    label->adjustSize();
    return label;
}

void TSerialDialog::showEvent(QShowEvent* Event) {
    QDialog::showEvent(Event);
    if (!Event->spontaneous())
        FormShow(this);
}

void TSerialDialog::FormShow(QObject*) {
    SerPortComboBox1->UpdateItems();
    SerBaudComboBox1->UpdateItems();
    SerDataBitsComboBox1->UpdateItems();
    SerStopBitsComboBox1->UpdateItems();
    SerParityBitComboBox1->UpdateItems();
    SerHandshakeComboBox1->UpdateItems();
}

void TSerialDialog::btnOKClick(QObject*) {
    accept();
}
