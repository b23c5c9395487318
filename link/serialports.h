#pragma once
// The serial ports present on this machine, for the port list of the settings dialog.
#include <string>
#include <vector>

// Device paths ("/dev/ttyS0", "/dev/ttyUSB0", ...) of the serial ports that exist: built-in
// ports the kernel found hardware for, USB adapters and modems. Sorted by name with numbers
// in numeric order (ttyS2 before ttyS10). The roots can be moved for tests.
std::vector<std::string> ListSerialPorts(const std::string& sysClassTty = "/sys/class/tty",
                                         const std::string& dev = "/dev");
