#pragma once
// The port choice: a combo box whose text may be typed (a device path, say), listing the fixed
// names first and then the serial ports present on the machine. The list of present ports is
// read again each time the drop-down opens, so an adapter plugged in later shows up.
#include <QComboBox>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class PortCombo : public QComboBox {
    Q_OBJECT

  public:
    // A present port: the name the list offers and what its tool tip says of it.
    struct Port {
        QString name;
        QString toolTip;
    };
    using PortLister = std::function<QStringList()>;
    using DescribedPortLister = std::function<QList<Port>()>;

    PortCombo(const QStringList& fixedItems, QWidget* parent = nullptr);

    void SetPortLister(PortLister lister);
    void SetDescribedPortLister(DescribedPortLister lister) { lister_ = std::move(lister); }
    // Replaces the items after the fixed ones by the lister's ports, each with its tool tip; the
    // edit text stays.
    void RefreshPorts();

    void showPopup() override;

  private:
    int fixedCount_;
    DescribedPortLister lister_;
};
