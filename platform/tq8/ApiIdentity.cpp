// Board info, identity and names.
#include "ApiCommon.h"
#include "BoardNames.h"

using namespace tq8;

namespace {
constexpr uint64_t kLibraryVersion = 0x0001000000000000ull;
constexpr const wchar_t* kSoftwareRelease = L"TQ3300 Software 1.0";

int32_t HandOut(std::wstring_view text, wchar_t** out)
{
    *out = Lib().Memory().CopyWide(text);
    return *out != nullptr ? TQ8_OK : TQ8_ERR_NO_MEMORY;
}

// The version a part runs, or "Unknown" after an upload failed part of the way.
std::wstring FirmwareText(IBoardBackend& b, FirmwarePart part)
{
    std::optional<FirmwareVersion> running;
    b.RunningFirmware(part, running);
    return running ? VersionText(WidenVersion(running->version)) : std::wstring(L"Unknown");
}

BoardPlace PlaceOf(const IBoardBackend& b)
{
    return BoardPlace{b.IsVirtual(), b.IsRemote(), b.ServerName(), b.ServerPort()};
}
} // namespace

extern "C" {

int32_t GetSerialNumberTQ8(TQ8_HANDLE handle, uint32_t* serial)
{
    return WithBoard(__func__, handle, [&](IBoardBackend& b) -> int32_t {
        if (serial == nullptr)
            return TQ8_ERR_INVALID_ARG;
        *serial = b.Desc().serial;
        return TQ8_OK;
    });
}

int32_t GetBoardNameWTQ8(TQ8_HANDLE handle, wchar_t** name, uint32_t flags)
{
    return WithBoard(__func__, handle, [&](IBoardBackend& b) -> int32_t {
        if (name == nullptr)
            return TQ8_ERR_INVALID_ARG;
        return HandOut(BoardName(b.Desc(), PlaceOf(b), flags), name);
    });
}

int32_t GetBoardRevisionTQ8(TQ8_HANDLE handle)
{
    return WithBoard(__func__, handle, [](IBoardBackend& b) { return static_cast<int32_t>(b.Desc().revision); });
}

uint32_t GetBoardFeaturesTQ8(TQ8_HANDLE handle)
{
    return ValueOf<uint32_t>(handle, 0u, [](IBoardBackend& b) { return b.Desc().features; });
}

int32_t IsFixedLogicPackagePresentTQ8(TQ8_HANDLE handle, int32_t package)
{
    return WithBoard(__func__, handle, [&](IBoardBackend& b) -> int32_t {
        if (package < 0 || package > 31)
            return TQ8_ERR_INVALID_ARG;
        return (b.Desc().packages >> package) & 1u ? TQ8_OK : TQ8_ERR_NOT_SUPPORTED;
    });
}

uint32_t GetInputChannelFlagsTQ8(TQ8_HANDLE handle, int32_t channel)
{
    return ValueOf<uint32_t>(handle, 0u, [&](IBoardBackend& b) {
        return channel >= 0 && channel < 4 ? b.Desc().channelFlags[static_cast<size_t>(channel)] : 0u;
    });
}

int32_t GetMasterSlaveConfigurationTQ8(TQ8_HANDLE handle, int32_t)
{
    return WithBoard(__func__, handle, [](IBoardBackend& b) { return b.Desc().masterSlave; });
}

int32_t GetSyncConfigurationTQ8(TQ8_HANDLE handle, int32_t)
{
    return WithBoard(__func__, handle, [](IBoardBackend& b) { return b.Desc().syncConfig; });
}

int32_t GetExtTriggerConfigurationTQ8(TQ8_HANDLE handle, int32_t)
{
    return WithBoard(__func__, handle, [](IBoardBackend& b) { return b.Desc().extTriggerConfig; });
}

int32_t GetInputChannelConfigurationTQ8(TQ8_HANDLE handle, int32_t)
{
    return WithBoard(__func__, handle, [](IBoardBackend& b) { return b.Desc().inputFilterConfig; });
}

int32_t GetZabFpgaTypeTQ8(TQ8_HANDLE handle)
{
    return WithBoard(__func__, handle, [](IBoardBackend& b) { return b.Desc().zabFpgaType; });
}

int32_t GetVersionTextWTQ8(TQ8_HANDLE handle, int32_t item, wchar_t** text, uint32_t)
{
    return WithBoard(__func__, handle, [&](IBoardBackend& b) -> int32_t {
        if (text == nullptr)
            return TQ8_ERR_INVALID_ARG;
        *text = nullptr;
        const BoardDescription& d = b.Desc();
        switch (item) {
        case TQ8_VERSION_HARDWARE:
            return HandOut(L"Rev " + std::to_wstring(d.revision), text);
        case TQ8_VERSION_DRIVER:
            return HandOut(VersionText(Reported(b, CReportedValues::Item::DriverVersion, d.driverVersion)), text);
        case TQ8_VERSION_LIBRARY:
            return HandOut(VersionText(kLibraryVersion), text);
        case TQ8_VERSION_SOFTWARE_RELEASE:
            return HandOut(kSoftwareRelease, text);
        case TQ8_VERSION_SYSTEM_FPGA:
            return HandOut(FirmwareText(b, FirmwarePart::System), text);
        case TQ8_VERSION_ZAB_FPGA:
            if ((d.features & TQ8_FEATURE_ZAB) == 0)
                return TQ8_ERR_NOT_SUPPORTED;
            return HandOut(FirmwareText(b, FirmwarePart::Zab), text);
        default:
            return TQ8_ERR_INVALID_ARG;
        }
    });
}

int32_t GetDriverVersionTQ8(TQ8_HANDLE handle, uint64_t* version)
{
    return WithBoard(__func__, handle, [&](IBoardBackend& b) -> int32_t {
        if (version == nullptr)
            return TQ8_ERR_INVALID_ARG;
        *version = Reported(b, CReportedValues::Item::DriverVersion, b.Desc().driverVersion);
        return TQ8_OK;
    });
}

int32_t GetPciFirmwareVersionTQ8(TQ8_HANDLE handle, uint64_t* version)
{
    return WithBoard(__func__, handle, [&](IBoardBackend& b) -> int32_t {
        if (version == nullptr)
            return TQ8_ERR_INVALID_ARG;
        // The PCI interface is the system FPGA's; 0 while its version is unknown.
        std::optional<FirmwareVersion> running;
        const int32_t rc = b.RunningFirmware(FirmwarePart::System, running);
        *version = running ? WidenVersion(running->version) : 0;
        return rc;
    });
}

int32_t InIdleModeTQ8(TQ8_HANDLE handle)
{
    return ValueOf<int32_t>(handle, 0, [](IBoardBackend& b) { return b.IsIdle() && !IsRecording(b) ? 1 : 0; });
}

int32_t GetEepromDataTQ8(TQ8_HANDLE handle, uint32_t firstWord, uint16_t* words, uint32_t count)
{
    return WithBoard(__func__, handle,
                     [&](IBoardBackend& b) { return b.ReadEeprom(firstWord, words, count); });
}

} // extern "C"
