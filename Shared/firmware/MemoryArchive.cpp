#include "MemoryArchive.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

voidpf ZCALLBACK MemOpen(voidpf opaque, const void*, int)
{
    return opaque;
}

uLong ZCALLBACK MemRead(voidpf, voidpf stream, void* buf, uLong size)
{
    auto* mem = static_cast<MemoryArchive*>(stream);
    const size_t n = std::min<size_t>(size, mem->bytes.size() - std::min(mem->pos, mem->bytes.size()));
    if (n == 0)
        return 0; // at or past the end (a seek may go there)
    std::memcpy(buf, mem->bytes.data() + mem->pos, n);
    mem->pos += n;
    return static_cast<uLong>(n);
}

uLong ZCALLBACK MemWrite(voidpf, voidpf stream, const void* buf, uLong size)
{
    auto* mem = static_cast<MemoryArchive*>(stream);
    try {
        if (mem->pos + size > mem->bytes.size())
            mem->bytes.resize(mem->pos + size);
        std::memcpy(mem->bytes.data() + mem->pos, buf, size);
    } catch (const std::bad_alloc&) {
        mem->failed = true;
        return 0;
    }
    mem->pos += size;
    return size;
}

ZPOS64_T ZCALLBACK MemTell(voidpf, voidpf stream)
{
    return static_cast<MemoryArchive*>(stream)->pos;
}

long ZCALLBACK MemSeek(voidpf, voidpf stream, ZPOS64_T offset, int origin)
{
    auto* mem = static_cast<MemoryArchive*>(stream);
    size_t base = 0;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR)
        base = mem->pos;
    else if (origin == ZLIB_FILEFUNC_SEEK_END)
        base = mem->bytes.size();
    mem->pos = base + offset;
    return 0;
}

int ZCALLBACK MemClose(voidpf, voidpf)
{
    return 0;
}

int ZCALLBACK MemError(voidpf, voidpf stream)
{
    return static_cast<MemoryArchive*>(stream)->failed ? 1 : 0;
}

} // namespace

zlib_filefunc64_def MemoryFunctions(MemoryArchive& mem)
{
    return zlib_filefunc64_def{MemOpen, MemRead, MemWrite, MemTell, MemSeek, MemClose, MemError, &mem};
}

