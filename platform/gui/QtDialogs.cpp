#include "platform/gui/QtDialogs.h"

#include <QApplication>
#include <QMessageBox>

namespace platform {

int TQtDialogs::MessageBox(const QString& text, const QString& caption, unsigned flags) {
    QMessageBox box(FOwner);
    box.setText(text);
    box.setWindowTitle(caption.isEmpty() ? QApplication::applicationDisplayName() : caption);
    switch (flags & 0xF0u) {
    case MB_ICONERROR: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONWARNING: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
    default: break;
    }
    switch (flags & 0xFu) {
    case MB_OKCANCEL: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case MB_YESNOCANCEL:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    case MB_YESNO: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    default: box.setStandardButtons(QMessageBox::Ok); break;
    }
    switch (box.exec()) {
    case QMessageBox::Ok: return IDOK;
    case QMessageBox::Yes: return IDYES;
    case QMessageBox::No: return IDNO;
    default: return IDCANCEL;
    }
}

void TQtDialogs::ShowException(const QString& message) {
    QMessageBox::critical(FOwner, QApplication::applicationDisplayName(), message);
}

} // namespace platform
