#include "DstFileOptsRules.h"

#include <cwctype>

DstFileOptsRules::Enabling DstFileOptsRules::Enable(uint32_t flags, bool spanFiles, bool skipHdr, bool readOnly,
                                                    bool recording)
{
    Enabling e;
    e.format = (flags & kAssumeFormat) != 0;
    if (readOnly) {
        // The format controls stay usable for looking; nothing is kept anyway.
        e.format = true;
        e.options = false;
        e.channelFiles = e.span = e.skip = e.hex = e.tsDetails = e.tsAbort = false;
        e.note = true;
        e.noteReadOnly = true;
        e.paths = false;
        return e;
    }
    e.channelFiles = (flags & kDeinterleave) != 0;
    e.span = spanFiles;
    e.skip = skipHdr;
    e.hex = (flags & kText) != 0;
    e.tsDetails = (flags & kTsFile) != 0;
    e.tsAbort = recording && e.tsDetails;
    e.note = (flags & kContextFile) != 0;
    return e;
}

std::wstring DstFileOptsRules::Trim(std::wstring_view text)
{
    size_t first = 0;
    while (first < text.size() && std::iswspace(text[first]))
        ++first;
    size_t last = text.size();
    while (last > first && std::iswspace(text[last - 1]))
        --last;
    return std::wstring(text.substr(first, last - first));
}

bool DstFileOptsRules::HasExtension(std::wstring_view path)
{
    size_t sep = path.find_last_of(L"/\\");
    std::wstring_view name = sep == std::wstring_view::npos ? path : path.substr(sep + 1);
    size_t dot = name.rfind(L'.');
    // A leading dot names a hidden file, not an extension.
    return dot != std::wstring_view::npos && dot > 0;
}

std::wstring DstFileOptsRules::ChannelPath(std::wstring_view typed)
{
    std::wstring path = Trim(typed);
    if (!path.empty() && !HasExtension(path))
        path += L".rd8";
    return path;
}

std::wstring DstFileOptsRules::TimestampPath(std::wstring_view typed, bool textTimestamps)
{
    std::wstring path = Trim(typed);
    if (!path.empty() && !HasExtension(path))
        path += textTimestamps ? L".tq8ts.txt" : L".tq8ts";
    return path;
}

const wchar_t* DstFileOptsRules::TimestampDefaultExt(bool textTimestamps)
{
    return textTimestamps ? L"tq8ts.txt" : L"tq8ts";
}

int DstFileOptsRules::TimestampFilterIndex(bool textTimestamps)
{
    return textTimestamps ? 2 : 1;
}
