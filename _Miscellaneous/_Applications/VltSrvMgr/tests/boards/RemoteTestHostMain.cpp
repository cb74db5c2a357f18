// A service host in a process of its own, for tests that kill the server:
// arguments port, served root and the serial of one local board to declare.
// Prints "ready" once it listens, and runs until killed.
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "RemoteTestHost.h"
#include "TQ8Sim.h"

int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    TQ8SIM_BOARD_DESC desc;
    TQ8Sim_DefaultBoardDesc(&desc, static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10)));
    if (TQ8Sim_AddLocalBoard(&desc) != TQ8_OK)
        return 3;
    RemoteTestHost host(argv[2], static_cast<uint16_t>(std::strtoul(argv[1], nullptr, 10)));
    if (!host.Started())
        return 4;
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;)
        pause();
}
