#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class TSerial;
class TSerBaudComboBox;
class TSerDataBitsComboBox;
class TSerHandshakeComboBox;
class TSerParityBitComboBox;
class TSerPortComboBox;
class TSerStopBitsComboBox;

// "COM - Settings": one selector box per line setting, all bound to the
// given component. There is no Cancel: every choice takes effect in the
// component the moment it is made. Its texts are English in every language.
class TSerialDialog : public QDialog {
    Q_OBJECT
public:
    explicit TSerialDialog(TSerial* Serial1, QWidget* Parent = nullptr);
    ~TSerialDialog() override;

    // Each showing refreshes the boxes with the component's values and the
    // port list as the manager has it then.
    void FormShow(QObject* Sender);
    void btnOKClick(QObject* Sender);

protected:
    void showEvent(QShowEvent* Event) override;

private:
    QLabel* MakeLabel(const char* Name, const char* Caption, int Top);

    TSerPortComboBox* SerPortComboBox1 = nullptr;
    TSerBaudComboBox* SerBaudComboBox1 = nullptr;
    TSerDataBitsComboBox* SerDataBitsComboBox1 = nullptr;
    TSerStopBitsComboBox* SerStopBitsComboBox1 = nullptr;
    TSerParityBitComboBox* SerParityBitComboBox1 = nullptr;
    TSerHandshakeComboBox* SerHandshakeComboBox1 = nullptr;
    QPushButton* btnOK = nullptr;
};
