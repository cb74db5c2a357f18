// Pathwright: adds directories to the system search path, or removes them.
#include <iostream>
#include <string>
#include <vector>

#include "CPathwright.h"
#include "ConsoleExit.h"

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    CPathwright tool(std::cout);
    const int32_t result = tool.Run(args);
    std::cout.flush();
    if (result != 0)
        vlt::WaitForKeyOnTerminal("\nPress any key to exit...\n");
    return vlt::ExitCodeOf(result);
}
