#include "SystemErrorText.h"

#include <string.h>

namespace vlt {

std::string SystemErrorText(int err)
{
    char buf[256];
    // GNU strerror_r may return a static string instead of filling buf.
    const char* text = strerror_r(err, buf, sizeof buf);
    return text ? text : "unknown error";
}

} // namespace vlt
