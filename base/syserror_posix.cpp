#include "base/syserror.h"

#include <string.h>

std::string SystemErrorText(int error) {
    const char* text = ::strerrordesc_np(error);
    return text != nullptr ? text : "error " + std::to_string(error);
}
