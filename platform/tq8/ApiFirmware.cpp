// Firmware packages: version query, upload and verification, JTAG access.
#include <cstdio>

#include "ApiCommon.h"
#include "CFirmwareUpload.h"
#include "CRemoteFirmwareUpload.h"
#include "CRemoteBoardBackend.h"
#include "ScanChain.h"
#include "TextConv.h"

using namespace tq8;

namespace {
uint32_t FpgaType(const IBoardBackend& b)
{
    uint16_t type = 0xFFFF;
    return b.ReadEeprom(kEepromFpgaTypeWord, &type, 1) == TQ8_OK ? type : 0xFFFFu;
}

std::string ScanChainText(const std::vector<uint32_t>& ids)
{
    std::string text;
    for (uint32_t id : ids) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08X", id);
        text += (text.empty() ? "" : " ") + std::string(code);
    }
    return text;
}

// Boards whose scan port the library reaches read the chain through it;
// for the others the card's declaration says what the chain holds.
int32_t ScanChainOf(IBoardBackend& b, std::vector<uint32_t>& ids)
{
    const int32_t rc = b.ReadScanChain(ids);
    if (rc != TQ8_ERR_NOT_SUPPORTED)
        return rc;
    CFirmwareState* state = b.Firmware();
    if (state == nullptr)
        return TQ8_ERR_NOT_SUPPORTED;
    ids = state->JtagJumper() ? ScanChainIdCodes(FpgaType(b)) : std::vector<uint32_t>{};
    return TQ8_OK;
}
} // namespace

extern "C" {

int32_t QueryFirmwareVersionInfoWTQ8(const wchar_t* path, TQ8_FW_VERSION_INFO* info)
{
    return Guard(__func__, [&]() -> int32_t {
        if (path == nullptr || info == nullptr || info->size < sizeof(TQ8_FW_VERSION_INFO))
            return TQ8_ERR_INVALID_ARG;
        CFirmwarePackage package;
        if (int32_t rc = package.Open(vlt::WideToUtf8(path)); rc != TQ8_OK)
            return rc;
        info->version = package.Context().m_versionPkg;
        info->custom = package.Context().m_custEnumPkg;
        info->reserved = 0;
        info->flags = package.Context().m_fwFlags;
        return TQ8_OK;
    });
}

int32_t UploadFirmwareWTQ8(TQ8_HANDLE h, const wchar_t* path, uint32_t flags, uint32_t* outFlags,
                           TQ8_FW_PROGRESS_CALLBACK callback, void* context)
{
    return WithBoard(__func__, h, [&](IBoardBackend& b) -> int32_t {
        if (path == nullptr || outFlags == nullptr || flags != 0)
            return TQ8_ERR_INVALID_ARG;
        *outFlags = 0;
        if (b.IsRemote()) {
            const auto connection = Lib().Find(HandleId(h));
            if (!connection || !connection->link)
                return TQ8_ERR_INVALID_HANDLE;
            return CRemoteFirmwareUpload(*connection->link, h, callback, context).Run(vlt::WideToUtf8(path), *outFlags);
        }
        std::unique_ptr<IFirmwareTarget> target = b.FirmwareTarget();
        if (target == nullptr)
            return TQ8_ERR_NOT_SUPPORTED;
        if (!b.IsIdle() || IsRecording(b))
            return TQ8_ERR_BUSY;
        CFirmwarePackage package;
        if (int32_t rc = package.Open(vlt::WideToUtf8(path)); rc != TQ8_OK)
            return rc;
        CFirmwareUpload upload(*target, h, callback, context);
        return upload.Run(package, FpgaType(b), *outFlags);
    });
}

int32_t GetJtagIdCodesATQ8(TQ8_HANDLE h, char** text)
{
    return WithBoard(__func__, h, [&](IBoardBackend& b) -> int32_t {
        if (text == nullptr)
            return TQ8_ERR_INVALID_ARG;
        if (b.IsRemote()) {
            std::string codes;
            const int32_t rc = static_cast<CRemoteBoardBackend&>(b).JtagIdCodes(codes);
            if (rc != TQ8_OK)
                return rc;
            *text = Lib().Memory().CopyNarrow(codes);
            return *text != nullptr ? TQ8_OK : TQ8_ERR_NO_MEMORY;
        }
        std::vector<uint32_t> ids;
        if (const int32_t rc = ScanChainOf(b, ids); rc != TQ8_OK)
            return rc;
        *text = Lib().Memory().CopyNarrow(ScanChainText(ids));
        return *text != nullptr ? TQ8_OK : TQ8_ERR_NO_MEMORY;
    });
}

} // extern "C"
