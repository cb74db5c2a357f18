#include "BoardNames.h"

#include <cwctype>

#include "TQ8_64.h"

namespace tq8 {

namespace {
std::wstring FileSafe(const std::wstring& text)
{
    std::wstring out;
    for (wchar_t c : text) {
        bool ok = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'-'
                  || c == L'_';
        if (ok)
            out += c;
        else if (!out.empty() && out.back() != L'_')
            out += L'_';
    }
    while (!out.empty() && out.back() == L'_')
        out.pop_back();
    return out;
}
} // namespace

std::wstring BoardName(const BoardDescription& desc, const BoardPlace& place, uint32_t flags)
{
    // The plain name carries the serial: lists of boards must tell them apart.
    if (flags == 0)
        flags = TQ8_NAME_SERIAL;
    std::wstring model = L"TQ3300";
    if ((flags & TQ8_NAME_CHANNEL_SUFFIX) != 0 && !desc.IsTwoChannelModel())
        model += L"-4";
    if ((flags & TQ8_NAME_CLASS) != 0) {
        std::wstring text = model + L" high-speed digitizer, " + std::to_wstring(desc.InputChannels())
                            + L" channels, PCI Express";
        if (place.isVirtual)
            text = L"Virtual " + text;
        return text;
    }
    std::wstring name;
    if ((flags & TQ8_NAME_VIRTUAL) != 0 && place.isVirtual)
        name = L"Virtual ";
    name += model;
    if ((flags & TQ8_NAME_SERIAL) != 0)
        name += L" #" + std::to_wstring(desc.serial);
    if ((flags & TQ8_NAME_SERIAL_PLAIN) != 0)
        name += L"_" + std::to_wstring(desc.serial);
    if ((flags & TQ8_NAME_LOCATION) != 0 && place.isRemote)
        name += L" @" + place.server + L":" + std::to_wstring(place.port);
    if ((flags & TQ8_NAME_FILE_SAFE) != 0)
        name = FileSafe(name);
    return name;
}

std::wstring VersionText(uint64_t version)
{
    return std::to_wstring((version >> 48) & 0xFFFF) + L"." + std::to_wstring((version >> 32) & 0xFFFF) + L"."
           + std::to_wstring((version >> 16) & 0xFFFF) + L"." + std::to_wstring(version & 0xFFFF);
}

} // namespace tq8
