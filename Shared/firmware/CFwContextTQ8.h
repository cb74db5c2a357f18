#pragma once
// The manifest "context_v2.xml" of a firmware update package: the model, its
// exact text and what the reader accepts. All text is UTF-8.
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <libxml/tree.h>

// Result codes of the package format.
constexpr int kFwOk = 0;
constexpr int kFwFailed = -1;
constexpr int kFwNoMemory = -5;
constexpr int kFwItemMissing = -543;
constexpr int kFwContextUnreadable = -551;
constexpr int kFwContextUnwritable = -552;
constexpr int kFwSourceUnreadable = -554;

class CFwContextTQ8 {
public:
    class CFirmwareChunk {
    public:
        virtual ~CFirmwareChunk() = default;

        uint32_t m_version = 0;    // four 8-bit parts
        uint32_t m_custEnum = 0;
        uint32_t m_flags = 0;      // bit 0: pre-release
        int32_t m_fileCount = 0;
        std::vector<std::string> m_files; // names inside the archive
    };

    CFwContextTQ8() = default;

    // Numbers are read from their start: leading blanks skipped, text after
    // the digits ignored; one out of range or without digits fails.
    virtual int Load(const std::string& path);
    // Load from the manifest's text (a package entry read into memory).
    int LoadText(const std::string& text);
    // Writes through a temporary file; a chunk with file count 0 gets the
    // number of its names, in the file and in the model.
    virtual int Save(const std::string& path);
    virtual void Clear();
    virtual ~CFwContextTQ8() = default;

    // The text Save writes.
    std::string Format() const;
    static const char* ChunkName(int32_t id);

    uint32_t m_versionPkg = 0;
    uint32_t m_custEnumPkg = 0;
    uint32_t m_ucd = 0;
    std::string m_relDate;
    uint32_t m_fwFlags = 0;
    std::map<int32_t, CFirmwareChunk> m_chunks;
    int32_t m_reqBoardRevision = 0;
    uint16_t m_reqCustomHwEnum = 0;
    uint32_t m_reqMaxHwRevision = 0;
    uint32_t m_reqMinHwRevision = 0;
    uint64_t m_reqMinSwVersion = 0;
    int32_t m_readmeSev = 0;
    int32_t m_auxFileCount = 0;
    std::vector<std::string> m_auxFiles;
    std::vector<std::pair<std::string, std::string>> m_userDefined; // name, value

private:
    int Read(xmlDocPtr doc);
    void ReadAuxFiles(xmlNodePtr root);
    void ReadUserDefined(xmlNodePtr root);
    int ReadChunks(xmlNodePtr root);
};
