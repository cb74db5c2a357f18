// libFuzzer target: any bytes as the text of a workspace file, read into the
// workspace's records as a load reads them before it touches a board. The
// sanitizers stop on any fault; nothing may be printed.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "CWorkspaceFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CWorkspaceFile records;
    std::string reason;
    records.ReadText(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.tq8ws", reason);
    return 0;
}
