// Recorded data files: their information record and the items of their
// context files.
#include <cerrno>
#include <cstring>
#include <string>

#include "ApiCommon.h"
#include "RecordingContextFile.h"
#include "RecordingPlan.h"
#include "TextConv.h"

using namespace tq8;

namespace {
uint64_t VrdcId(TQ8_VRDC_HANDLE v)
{
    return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(v));
}

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Reads the context file of a data file, or the file itself when the path
// names one; TQ8_ERR_INVALID_ARG for no path.
int32_t ReadContextOf(const wchar_t* path, ContextItems& items, std::string& reason)
{
    if (path == nullptr || *path == L'\0')
        return TQ8_ERR_INVALID_ARG;
    std::string file = LocalPath(vlt::WideToUtf8(path));
    if (!EndsWith(file, ".vrdc"))
        file = ContextFilePath(file);
    return ReadContextItems(file, items, reason);
}

// Hands a text out for FreeMemoryTQ8.
int32_t HandOut(const std::string& utf8, wchar_t** out)
{
    *out = Lib().Memory().CopyWide(vlt::Utf8ToWide(utf8));
    return *out != nullptr ? TQ8_OK : TQ8_ERR_NO_MEMORY;
}

// body(const ContextItems&) -> int32_t
template <class F>
int32_t WithContext(const char* function, TQ8_VRDC_HANDLE v, F&& body) noexcept
{
    return Guard(function, [&]() -> int32_t {
        auto items = Lib().ContextFiles().Find(VrdcId(v));
        if (!items)
            return TQ8_ERR_INVALID_HANDLE;
        return body(*items);
    });
}
} // namespace

extern "C" {

int32_t GetRecordedDataInfoWTQ8(const wchar_t* path, TQ8_RECORDED_DATA_INFO* info, wchar_t** notes)
{
    return Guard(__func__, [&]() -> int32_t {
        if (notes != nullptr)
            *notes = nullptr;
        if (path == nullptr || *path == L'\0' || info == nullptr || info->size != sizeof *info)
            return TQ8_ERR_INVALID_ARG;
        DefaultRecordedDataInfo(*info);
        ContextItems items;
        std::string reason;
        if (const int32_t rc = ReadContextItems(ContextFilePath(LocalPath(vlt::WideToUtf8(path))), items, reason);
            rc != TQ8_OK)
            return rc;
        InfoFromContextItems(items, *info);
        const std::string* text = FindContextItem(items, "OperatorNotes");
        if (notes == nullptr || text == nullptr || text->empty())
            return TQ8_OK;
        return HandOut(*text, notes);
    });
}

int32_t OpenVrdcFileWTQ8(TQ8_HANDLE, TQ8_VRDC_HANDLE* vrdc, const wchar_t* path, uint32_t)
{
    return Guard(__func__, [&]() -> int32_t {
        if (vrdc == nullptr)
            return TQ8_ERR_INVALID_ARG;
        *vrdc = nullptr;
        ContextItems items;
        std::string reason;
        if (const int32_t rc = ReadContextOf(path, items, reason); rc != TQ8_OK)
            return rc;
        *vrdc = reinterpret_cast<TQ8_VRDC_HANDLE>(
            static_cast<uintptr_t>(Lib().ContextFiles().Add(std::move(items))));
        return TQ8_OK;
    });
}

int32_t GetVrdcFileErrorWTQ8(const wchar_t* path, wchar_t** reason)
{
    return Guard(__func__, [&]() -> int32_t {
        if (reason == nullptr)
            return TQ8_ERR_INVALID_ARG;
        *reason = nullptr;
        ContextItems items;
        std::string why;
        int32_t rc = ReadContextOf(path, items, why);
        // A file that is there but cannot be read (a folder of that name,
        // no permission) is told from one that is not there.
        if (rc == TQ8_ERR_FILE_UNREADABLE && errno != ENOENT && errno != ENOTDIR)
            rc = TQ8_ERR_CONTEXT_UNREADABLE;
        if (rc == TQ8_OK || rc == TQ8_ERR_INVALID_ARG)
            return rc;
        return HandOut(why, reason) == TQ8_OK ? rc : TQ8_ERR_NO_MEMORY;
    });
}

int32_t EnumVrdcItemsWTQ8(TQ8_VRDC_HANDLE vrdc, wchar_t** names, uint32_t)
{
    return WithContext(__func__, vrdc, [&](const ContextItems& items) -> int32_t {
        if (names == nullptr)
            return TQ8_ERR_INVALID_ARG;
        std::string all;
        for (const auto& [name, value] : items) {
            if (!all.empty())
                all += ' ';
            all += name;
        }
        return HandOut(all, names);
    });
}

int32_t GetVrdcItemWTQ8(TQ8_VRDC_HANDLE vrdc, const wchar_t* name, wchar_t** value)
{
    return WithContext(__func__, vrdc, [&](const ContextItems& items) -> int32_t {
        if (value == nullptr)
            return TQ8_ERR_INVALID_ARG;
        *value = nullptr;
        if (name == nullptr)
            return TQ8_ERR_INVALID_ARG;
        const std::string* text = FindContextItem(items, vlt::WideToUtf8(name));
        return text != nullptr ? HandOut(*text, value) : TQ8_ERR_XML_ITEM_MISSING;
    });
}

int32_t CloseVrdcFileTQ8(TQ8_VRDC_HANDLE vrdc)
{
    return Guard(__func__, [&]() -> int32_t {
        return Lib().ContextFiles().Remove(VrdcId(vrdc)) ? TQ8_OK : TQ8_ERR_INVALID_HANDLE;
    });
}

} // extern "C"
