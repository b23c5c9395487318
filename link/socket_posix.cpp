#include "link/socket.h"

bool SocketsReady() {
    return true;
}
