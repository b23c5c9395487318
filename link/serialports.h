#pragma once
// The serial ports present on this machine, for the port list of the settings dialog and
// "vr7lon ports".
#include <string>
#include <vector>

// Where the ports are looked up on Linux; tests point these into a folder of their own. Windows
// has one place: the registry's list of ports, described by the device manager.
struct SerialPortRoots {
    std::string sysClassTty = "/sys/class/tty";
    std::string dev = "/dev";
    std::string byId = "/dev/serial/by-id";  // udev's names that survive re-plugging
};

// One port as the system knows it. Every field but path may be empty: not every port has a
// stable name or a USB device behind it, and sysfs may not be there at all. On Windows path is
// the port's name ("COM7"), product the device manager's name for it ("USB Serial Port (COM7)").
struct SerialPortInfo {
    std::string path;      // the kernel's name: "/dev/ttyUSB0"; changes with the plugging order
    std::string byIdPath;  // "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"
    std::string driver;    // "ftdi_sio", "cp210x", "cdc_acm", "serial8250", "serial" (PNP)
    std::string vendor;    // the USB device's manufacturer string: "FTDI"
    std::string product;   // its product string: "FT232R USB UART"
    std::string usbId;     // idVendor:idProduct: "0403:6001"
    std::string serial;    // the USB device's serial number string
};

// The serial ports that exist: built-in ports the kernel found hardware for, USB adapters and
// modems, and any other tty a stable name points at. Sorted by name with numbers in numeric
// order (ttyS2 before ttyS10), with what sysfs says of each: the driver (for a built-in port the
// driver of the UART, not of the serial core's port object), and for a USB adapter the strings
// and ids of the USB device; the stable name is the first by-id link (by name) that resolves to
// the port.
std::vector<SerialPortInfo> DescribeSerialPorts(const SerialPortRoots& roots = {});
