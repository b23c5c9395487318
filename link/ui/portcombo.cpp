#include "portcombo.h"

TPortCombo::TPortCombo(const QStringList& fixedItems, QWidget* parent)
    : QComboBox(parent), fixedCount_(static_cast<int>(fixedItems.size())) {
    setEditable(true);
    // Enter belongs to the dialog (its default button), not to growing this list.
    setInsertPolicy(QComboBox::NoInsert);
    addItems(fixedItems);
}

void TPortCombo::RefreshPorts() {
    const QString text = currentText();
    while (count() > fixedCount_) removeItem(count() - 1);
    if (lister_) {
        for (const QString& port : lister_())
            if (findText(port, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0) addItem(port);
    }
    setCurrentIndex(findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
    setEditText(text);
}

void TPortCombo::showPopup() {
    RefreshPorts();
    QComboBox::showPopup();
}
