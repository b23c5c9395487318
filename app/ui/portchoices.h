#pragma once
// The window's list of present serial ports, each with what the system says of it.
#include <QList>
#include <vector>

#include "link/serialports.h"
#include "link/ui/portcombo.h"

// Each port under its kernel name, followed by its stable name when it has one (the name worth
// keeping: it survives re-plugging), each with its tool tip.
QList<PortCombo::Port> DescribedPorts(const std::vector<SerialPortInfo>& ports);
