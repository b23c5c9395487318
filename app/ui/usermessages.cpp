#include "usermessages.h"

#include <QMessageBox>

#include "apptitle.h"

namespace {

void ShowBox(QWidget* parent, const QString& title, const QString& text, QMessageBox::Icon icon) {
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

}  // namespace

void TMessageBoxes::Message(const QString& text) {
    ShowBox(parent_, QStringLiteral("Внимание"), text, QMessageBox::NoIcon);
}

void TMessageBoxes::GeneralError(const QString& text) {
    ShowBox(parent_, QString::fromUtf8(kApplicationTitle), text, QMessageBox::Critical);
}
