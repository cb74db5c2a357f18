#include "CFirmwarePackage.h"

#include <cctype>

#include <unzip.h>

#include "AtomicFile.h"
#include "MemoryArchive.h"
#include "TQ8_64.h"

namespace tq8 {

namespace {
constexpr const char* kManifestName = "context_v2.xml";
constexpr uint32_t kReadPiece = 65536;

bool EndsWith(const std::string& text, const std::string& tail)
{
    if (text.size() < tail.size())
        return false;
    for (size_t i = 0; i < tail.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - tail.size() + i])) != tail[i])
            return false;
    return true;
}

// A plain file name: no folder, and not one of the two folder names; dots
// inside a name ("top..v2.bit") are the user's own.
bool IsSafeName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find_first_of("/\\") == std::string::npos;
}

struct ArchiveCloser {
    unzFile zip;
    ~ArchiveCloser() { unzClose(zip); }
};

// The current entry, read whole; its declared size is not trusted.
int32_t ReadEntry(unzFile zip, std::string& out)
{
    if (unzOpenCurrentFile(zip) != UNZ_OK)
        return TQ8_ERR_FW_PACKAGE_DAMAGED;
    out.clear();
    std::string piece(kReadPiece, '\0');
    int32_t rc = TQ8_OK;
    for (;;) {
        const int n = unzReadCurrentFile(zip, piece.data(), kReadPiece);
        if (n < 0) {
            rc = TQ8_ERR_FW_PACKAGE_DAMAGED;
            break;
        }
        if (n == 0)
            break;
        if (out.size() + static_cast<size_t>(n) > CFirmwarePackage::kMaxEntryBytes) {
            rc = TQ8_ERR_FW_ENTRY_TOO_LARGE;
            break;
        }
        out.append(piece, 0, static_cast<size_t>(n));
    }
    // Closing checks the entry's CRC once it was read to the end.
    if (unzCloseCurrentFile(zip) != UNZ_OK && rc == TQ8_OK)
        rc = TQ8_ERR_FW_PACKAGE_DAMAGED;
    return rc;
}

int ChunkPart(int32_t id, uint32_t fpgaType, FirmwarePart& part)
{
    if (id == 0 || id == 1) {
        part = FirmwarePart::System;
        return TQ8_OK;
    }
    const uint32_t type = id == 2 || id == 3 ? 0 : id == 4 || id == 5 ? 1 : 2;
    if (type == 2)
        return TQ8_ERR_MANIFEST_INVALID;
    part = FirmwarePart::Zab;
    return type == fpgaType ? TQ8_OK : TQ8_ERR_FW_WRONG_FPGA;
}
} // namespace

int32_t CFirmwarePackage::Open(const std::string& path)
{
    std::string bytes;
    if (!vlt::ReadWholeFile(path, bytes, nullptr, kMaxPackageBytes))
        return TQ8_ERR_FILE_UNREADABLE;
    return EndsWith(path, ".xsvf") ? OpenXsvf(path, std::move(bytes)) : OpenArchive(bytes);
}

int32_t CFirmwarePackage::OpenXsvf(const std::string& path, std::string bytes)
{
    if (bytes.empty() || bytes.size() > kMaxEntryBytes)
        return bytes.empty() ? TQ8_ERR_FW_PACKAGE_DAMAGED : TQ8_ERR_FW_ENTRY_TOO_LARGE;
    const std::string name = path.substr(path.find_last_of('/') + 1);
    CFwContextTQ8::CFirmwareChunk chunk;
    chunk.m_fileCount = 1;
    chunk.m_files.push_back(name);
    m_context.Clear();
    m_context.m_chunks[2] = chunk; // the user FPGA, whatever its type
    m_files[name] = std::move(bytes);
    m_xsvf = true;
    return TQ8_OK;
}

int32_t CFirmwarePackage::OpenArchive(const std::string& bytes)
{
    MemoryArchive mem;
    mem.bytes = bytes;
    zlib_filefunc64_def functions = MemoryFunctions(mem);
    unzFile zip = unzOpen2_64("package", &functions);
    if (zip == nullptr)
        return TQ8_ERR_FW_PACKAGE_DAMAGED;
    ArchiveCloser closer{zip};
    std::string manifest;
    bool first = true;
    for (int at = unzGoToFirstFile(zip); at == UNZ_OK; at = unzGoToNextFile(zip)) {
        char name[512] = {};
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK)
            return TQ8_ERR_FW_PACKAGE_DAMAGED;
        if (first && std::string(name) != kManifestName)
            return TQ8_ERR_MANIFEST_INVALID;
        if (!IsSafeName(name) || m_files.count(name) != 0)
            return TQ8_ERR_FW_PACKAGE_DAMAGED;
        if (info.uncompressed_size > kMaxEntryBytes)
            return TQ8_ERR_FW_ENTRY_TOO_LARGE;
        std::string content;
        if (int32_t rc = ReadEntry(zip, content); rc != TQ8_OK)
            return rc;
        if (first)
            manifest = std::move(content);
        else
            m_files[name] = std::move(content);
        first = false;
    }
    if (first)
        return TQ8_ERR_MANIFEST_INVALID;
    if (int rc = m_context.LoadText(manifest); rc != kFwOk)
        return rc == kFwItemMissing ? TQ8_ERR_XML_ITEM_MISSING : TQ8_ERR_MANIFEST_INVALID;
    if (m_context.m_chunks.empty())
        return TQ8_ERR_MANIFEST_INVALID;
    for (const auto& [id, chunk] : m_context.m_chunks)
        for (const std::string& file : chunk.m_files)
            if (m_files.count(file) == 0)
                return TQ8_ERR_MANIFEST_INVALID;
    return TQ8_OK;
}

int32_t CFirmwarePackage::Images(uint32_t fpgaType, std::vector<FirmwareImage>& out) const
{
    out.clear();
    for (const auto& [id, chunk] : m_context.m_chunks) {
        FirmwarePart part = FirmwarePart::System;
        if (m_xsvf)
            part = FirmwarePart::Zab;
        else if (int32_t rc = ChunkPart(id, fpgaType, part); rc != TQ8_OK)
            return rc;
        if (out.empty() || out.back().part != part)
            out.push_back(FirmwareImage{part, FirmwareVersion{chunk.m_version, chunk.m_custEnum}, {}});
        out.back().files.insert(out.back().files.end(), chunk.m_files.begin(), chunk.m_files.end());
    }
    return TQ8_OK;
}

std::string CFirmwarePackage::Joined(const FirmwareImage& image) const
{
    std::string all;
    for (const std::string& name : image.files)
        all += File(name);
    return all;
}

} // namespace tq8
