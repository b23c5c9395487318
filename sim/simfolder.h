#pragma once
// A simulated device that serves what a configuration folder on disk describes, so that reading
// the folder and reading the device give the same tree.
#include <string>

#include "sim/simdevice.h"

// Fills device from folder (a device folder holding CONFIG, or the CONFIG folder itself): one
// system per system file with the name its "name" attribute gives, one calculated-variable entry
// per variable (system number and name as the folder reader makes them), and the folder's
// "duxgate.cfg", when there is one, as the file "duxgate.cfg". Identification, number and the
// rest of device stay as they were. False, with a reason, when the folder cannot be read.
bool SimDeviceFromFolder(const std::string& folder, SimDevice& device, std::string* error);

// The device number a folder path implies: the digits after the first "vr7_" (any case), 0 when
// there are none.
uint32_t SimFolderDeviceNumber(const std::string& folder);
