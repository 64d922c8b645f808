#include "engine/sys/system_error.h"

#include <cstring>

std::string SystemErrorText(int error) {
    char buffer[256] = {};
    // The GNU strerror_r returns the text, which may or may not be in the buffer.
    return strerror_r(error, buffer, sizeof buffer);
}
