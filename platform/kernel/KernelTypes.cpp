#include "KernelTypes.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kern {

bool operator==(const Guid& a, const Guid& b)
{
    return a.data1 == b.data1 && a.data2 == b.data2 && a.data3 == b.data3
           && std::memcmp(a.data4, b.data4, sizeof a.data4) == 0;
}

KernelString GuidText(const Guid& g)
{
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.data1, g.data2, g.data3,
                  g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
    return KernelString(text, text + std::strlen(text));
}

void KeBugCheck(const char* what)
{
    std::fprintf(stderr, "kernel stopped: %s\n", what);
    std::abort();
}

} // namespace kern
