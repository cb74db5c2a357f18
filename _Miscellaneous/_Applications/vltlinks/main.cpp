// vltlinks: installs or removes the product's shortcuts for an installer.
#include <iostream>
#include <string>
#include <vector>

#include "CVltLinksMgr.h"
#include "ConsoleExit.h"

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    bool verbose = false;
    const int32_t result = CVltLinksMgr::RunTool(args, std::cout, verbose);
    std::cout.flush();
    if (verbose)
        vlt::WaitForKeyOnTerminal("Press any key to exit...\n");
    return vlt::ExitCodeOf(result);
}
