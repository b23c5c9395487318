#include "app/ui/portchoices.h"

#include "app/messages.h"

QList<PortCombo::Port> DescribedPorts(const std::vector<SerialPortInfo>& ports) {
    QList<PortCombo::Port> items;
    for (const SerialPortInfo& port : ports) {
        items.push_back({QString::fromStdString(port.path),
                         QString::fromStdString(usertext::SerialPortToolTip(port, false))});
        if (!port.byIdPath.empty())
            items.push_back({QString::fromStdString(port.byIdPath),
                             QString::fromStdString(usertext::SerialPortToolTip(port, true))});
    }
    return items;
}
