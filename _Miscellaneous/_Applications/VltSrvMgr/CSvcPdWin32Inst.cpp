#include "CSvcPdWin32Inst.h"

#include <map>
#include <string>

#include "CSvcFsWin32Inst.h"
#include "PowerCommand.h"
#include "ServiceCallDispatch.h"
#include "ServiceErrors.h"
#include "ServiceProtocol.h"
#include "XmlRoutines.h"

namespace {

const ServiceMethodTable<CSvcPdWin32Inst>& MethodTable()
{
    static const ServiceMethodTable<CSvcPdWin32Inst> table = {
        {"PDW32_REBOOT", &CSvcPdWin32Inst::OnPdReboot},
        {"PDW32_SHUTDOWN", &CSvcPdWin32Inst::OnPdShutdown},
    };
    return table;
}

int32_t ReplySuccess(int socket)
{
    return SendFramedMessage(socket, kReplySuccess, sizeof kReplySuccess - 1) == 0 ? 1 : kSvcSocketError;
}

} // namespace

void CSvcPdWin32Inst::Release()
{
    delete this;
}

int32_t CSvcPdWin32Inst::HandleRequest(int socket, xmlDocPtr request, int32_t flags)
{
    return DispatchServiceCall(*this, MethodTable(), socket, request, flags);
}

int32_t CSvcPdWin32Inst::SendErrorReply(int socket, int32_t code)
{
    return CSvcFsWin32Inst::SendErrorReply(socket, code);
}

int32_t CSvcPdWin32Inst::OnPdReboot(int socket, xmlDocPtr)
{
    return ExitWindowsWithPrivilege(true) == 0 ? ReplySuccess(socket) : kSvcNonSpecific;
}

int32_t CSvcPdWin32Inst::OnPdShutdown(int socket, xmlDocPtr)
{
    return ExitWindowsWithPrivilege(false) == 0 ? ReplySuccess(socket) : kSvcNonSpecific;
}

int32_t CSvcPdWin32Inst::ExitWindowsWithPrivilege(bool reboot)
{
    return vlt::RequestSystemPower(reboot ? vlt::PowerAction::Reboot : vlt::PowerAction::PowerOff) == 0 ? 0 : -1;
}
