#include "app/ui/portchoices.h"

#include "app/messages.h"
#include "base/ui/qcp1251.h"

QList<PortCombo::Port> DescribedPorts(const std::vector<SerialPortInfo>& ports) {
    QList<PortCombo::Port> items;
    for (const SerialPortInfo& port : ports) {
        items.push_back({QString::fromStdString(port.path),
                         FromUtf8String(usertext::SerialPortToolTip(port, false))});
        if (!port.byIdPath.empty())
            items.push_back({QString::fromStdString(port.byIdPath),
                             FromUtf8String(usertext::SerialPortToolTip(port, true))});
    }
    return items;
}
