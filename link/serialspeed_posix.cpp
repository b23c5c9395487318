#include "link/serialspeed.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>

// <sys/ioctl.h> would bring the C library's termios types in beside the kernel's.
extern "C" int ioctl(int fd, unsigned long request, ...);

namespace serialspeed {

bool SetOther(int fd, uint32_t baud) {
    termios2 t{};
    if (ioctl(fd, TCGETS2, &t) != 0) return false;
    t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ospeed = baud;
    t.c_ispeed = baud;
    return ioctl(fd, TCSETS2, &t) == 0;
}

bool Read(int fd, uint32_t& baud) {
    termios2 t{};
    if (ioctl(fd, TCGETS2, &t) != 0) return false;
    baud = t.c_ospeed;
    return true;
}

}  // namespace serialspeed
