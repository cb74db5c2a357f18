#include "StaticTls.h"

#include <elf.h>

#include <fstream>
#include <vector>

namespace {

template <typename T>
bool ReadAt(std::ifstream& in, uint64_t offset, T* out, size_t count = 1)
{
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(sizeof(T) * count));
    return static_cast<bool>(in);
}

} // namespace

bool ReadTlsKind(const std::string& path, TlsKind& kind, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    Elf64_Ehdr header{};
    if (!ReadAt(in, 0, &header) || std::string(reinterpret_cast<char*>(header.e_ident), 4) != ELFMAG
        || header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_phentsize != sizeof(Elf64_Phdr)) {
        error = path + ": not a 64-bit ELF object";
        return false;
    }
    std::vector<Elf64_Phdr> segments(header.e_phnum);
    if (!ReadAt(in, header.e_phoff, segments.data(), segments.size())) {
        error = path + ": its program headers cannot be read";
        return false;
    }
    bool tls = false;
    uint64_t flags = 0;
    for (const Elf64_Phdr& segment : segments) {
        tls = tls || segment.p_type == PT_TLS;
        if (segment.p_type != PT_DYNAMIC)
            continue;
        std::vector<Elf64_Dyn> entries(segment.p_filesz / sizeof(Elf64_Dyn));
        if (!ReadAt(in, segment.p_offset, entries.data(), entries.size())) {
            error = path + ": its dynamic section cannot be read";
            return false;
        }
        for (const Elf64_Dyn& entry : entries)
            if (entry.d_tag == DT_FLAGS)
                flags = entry.d_un.d_val;
    }
    kind = !tls ? TlsKind::None : (flags & DF_STATIC_TLS) != 0 ? TlsKind::Static : TlsKind::Dynamic;
    return true;
}
