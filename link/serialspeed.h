#pragma once
// Serial line speeds that have no B-constant (250000 Bd, say), which many USB adapters can do. Kept
// apart from <termios.h>: the kernel's termios2 structure that carries such a speed has the same
// name as the C library's termios.
#include <cstdint>

namespace serialspeed {

// Asks the line on fd for baud in both directions; false when the driver refuses.
bool SetOther(int fd, uint32_t baud);
// The output speed the line on fd runs at, in baud; false when it cannot be read.
bool Read(int fd, uint32_t& baud);

}  // namespace serialspeed
