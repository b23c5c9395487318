#include "portchoices.h"

#include "messages.h"

QList<TPortCombo::Port> DescribedPorts(const std::vector<SerialPortInfo>& ports) {
    QList<TPortCombo::Port> items;
    for (const SerialPortInfo& port : ports) {
        items.push_back({QString::fromStdString(port.path),
                         QString::fromStdString(usertext::SerialPortToolTip(port, false))});
        if (!port.byIdPath.empty())
            items.push_back({QString::fromStdString(port.byIdPath),
                             QString::fromStdString(usertext::SerialPortToolTip(port, true))});
    }
    return items;
}
