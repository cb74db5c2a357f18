#pragma once
// Channel source over a raw sample file: a header of a given size, then
// interleaved frames of one sample type up to the end of the file
// ("TQ8UI.CChanSrcSimpleFile"). Chunks are read straight into the caller's
// array; single samples come from a block cache. The file is never read
// whole, and its size is taken afresh whenever a call reaches past it, so a
// file that grows or shrinks while open is read as it stands.
#include "CComObjectRoot.h"
#include "TQ8UI.h"

#include <cstdint>
#include <string>
#include <vector>

class CChanSrcSimpleFile : public IScopeTQ8ChannelSource,
                           public IChanSrcSimpleFileInit,
                           public vlt::CComObjectRoot {
public:
    static constexpr uint32_t kBlockFrames = 16384;

    CChanSrcSimpleFile() = default;
    virtual ~CChanSrcSimpleFile();
    CChanSrcSimpleFile(const CChanSrcSimpleFile&) = delete;
    CChanSrcSimpleFile& operator=(const CChanSrcSimpleFile&) = delete;

    HRESULT InternalQueryInterface(const IID& riid, void** ppv);

    // IScopeTQ8ChannelSource
    HRESULT GetChannelSourceName(BSTR* pbstrName) override;
    HRESULT GetChannelCount(uint32_t* valp) override;
    HRESULT GetChannelSampleType(uint32_t chan, VARTYPE* pvt) override;
    HRESULT GetTotalSampleCount(uint32_t chan, uint64_t* valp) override;
    HRESULT IsSampleInterleavedData(VARIANT_BOOL* pVal) override;
    HRESULT RefreshTotalSampleCount(uint32_t newTotalSampCount) override;
    HRESULT GetChannelData(uint32_t chan, uint64_t offset, uint32_t samples, VARIANT* psav,
                           uint32_t* pSampsCopied) override;
    HRESULT GetSampleValue(uint32_t chan, uint64_t offset, VARIANT* argp) override;
    HRESULT ResizeSourceSampleCount(uint32_t newCount) override;

    // IChanSrcSimpleFileInit
    HRESULT SetChannelSourceFile(BSTR bstrName, BSTR bstrPath, VARTYPE vt, uint32_t nChannels,
                                 uint32_t skip_hdr_bytes) override;

private:
    // What identifies the file's content for the block cache.
    struct FileStamp {
        uint64_t size = 0;
        int64_t modifiedSec = 0;
        int64_t modifiedNsec = 0;
        bool operator==(const FileStamp&) const = default;
    };

    bool IsOpen() const { return m_fd >= 0 && m_sampleSize != 0; }
    uint32_t ChannelCount() const { return IsOpen() ? m_channelCount : 0; }
    uint64_t FrameBytes() const { return uint64_t(m_channelCount) * m_sampleSize; }
    bool Stamp(FileStamp* stamp) const;
    // Whole frames in the file as it is now.
    uint64_t FramesIn(const FileStamp& stamp) const;
    uint64_t TotalFrames() const;
    // Reads up to `frames` frames from frame `first` into dest; the frames read.
    HRESULT ReadFrames(uint64_t first, uint64_t frames, uint8_t* dest, uint64_t* framesRead) const;
    HRESULT FillBlock(uint64_t offset, uint64_t framesInFile);
    void Close();

    std::wstring m_name;
    std::wstring m_path;
    int m_fd = -1;
    VARTYPE m_sampleType = 0;
    uint32_t m_sampleSize = 0; // 0 while no file is open
    uint32_t m_channelCount = 0;
    uint32_t m_headerSize = 0;
    uint64_t m_knownFrames = 0; // whole frames when the size was last taken

    std::vector<uint8_t> m_block;
    uint64_t m_blockStart = UINT64_MAX; // UINT64_MAX: empty
    uint32_t m_blockFrames = 0;
    FileStamp m_blockStamp;
};
