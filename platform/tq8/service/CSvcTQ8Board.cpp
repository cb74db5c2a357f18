#include "CSvcTQ8Board.h"

#include <new>

#include "CSvcTQ8BoardInst.h"
#include "ServiceErrors.h"
#include "TQ8_64.h"

void CSvcTQ8Board::Release()
{
    delete this;
}

const char* CSvcTQ8Board::GetName()
{
    return TQ8_BOARD_SERVICE_NAME;
}

const char* CSvcTQ8Board::GetDescription()
{
    return "Serves the TQ3300 digitizer boards of this computer";
}

uint16_t CSvcTQ8Board::GetDefaultPort()
{
    return TQ8_BOARD_SERVICE_PORT;
}

int32_t CSvcTQ8Board::CreateInstance(IVltServiceInstance** instance)
{
    if (!instance)
        return kSvcInvalidArgument;
    *instance = new (std::nothrow) CSvcTQ8BoardInst;
    return *instance ? kSvcOk : kSvcOutOfMemory;
}
