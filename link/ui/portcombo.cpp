#include "link/ui/portcombo.h"

PortCombo::PortCombo(const QStringList& fixedItems, QWidget* parent)
    : QComboBox(parent), fixedCount_(static_cast<int>(fixedItems.size())) {
    setEditable(true);
    // Enter belongs to the dialog (its default button), not to growing this list.
    setInsertPolicy(QComboBox::NoInsert);
    addItems(fixedItems);
}

void PortCombo::SetPortLister(PortLister lister) {
    if (!lister) {
        lister_ = nullptr;
        return;
    }
    lister_ = [lister = std::move(lister)] {
        QList<Port> ports;
        for (const QString& name : lister()) ports.push_back({name, QString()});
        return ports;
    };
}

void PortCombo::RefreshPorts() {
    const QString text = currentText();
    while (count() > fixedCount_) removeItem(count() - 1);
    if (lister_) {
        for (const Port& port : lister_()) {
            if (findText(port.name, Qt::MatchExactly | Qt::MatchCaseSensitive) >= 0) continue;
            addItem(port.name);
            if (!port.toolTip.isEmpty()) setItemData(count() - 1, port.toolTip, Qt::ToolTipRole);
        }
    }
    setCurrentIndex(findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
    setEditText(text);
}

void PortCombo::showPopup() {
    RefreshPorts();
    QComboBox::showPopup();
}
