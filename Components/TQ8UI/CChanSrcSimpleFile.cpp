#include "CChanSrcSimpleFile.h"

#include "AtomicFile.h"
#include "ChanSrcHelpers.h"
#include "TextConv.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Bytes asked of one read call; larger reads are split.
constexpr uint64_t kMaxReadCall = uint64_t(1) << 30;
} // namespace

CChanSrcSimpleFile::~CChanSrcSimpleFile()
{
    Close();
}

HRESULT CChanSrcSimpleFile::InternalQueryInterface(const IID& riid, void** ppv)
{
    using vlt::QiEntry;
    if (QiEntry<IUnknown, IScopeTQ8ChannelSource>(this, riid, ppv) || QiEntry<IScopeTQ8ChannelSource>(this, riid, ppv)
        || QiEntry<IChanSrcSimpleFileInit>(this, riid, ppv))
        return S_OK;
    return E_NOINTERFACE;
}

void CChanSrcSimpleFile::Close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_sampleSize = 0;
    m_knownFrames = 0;
    std::vector<uint8_t>().swap(m_block);
    m_blockStart = UINT64_MAX;
    m_blockFrames = 0;
    m_blockStamp = {};
}

HRESULT CChanSrcSimpleFile::SetChannelSourceFile(BSTR bstrName, BSTR bstrPath, VARTYPE vt, uint32_t nChannels,
                                                 uint32_t skip_hdr_bytes)
{
    const uint32_t size = vlt::SampleTypeSize(vt);
    if (size == 0)
        return E_NOTIMPL;
    Close();
    m_name.assign(vlt::BstrView(bstrName));
    m_path = chansrc::TrimSpace(vlt::BstrView(bstrPath));
    if (nChannels == 0)
        return E_INVALIDARG;

    // Read in chunks, never whole: any size will do.
    uint64_t fileSize = 0;
    const int fd = vlt::OpenRegularFile(vlt::WideToUtf8(m_path), UINT64_MAX, &fileSize);
    if (fd < 0)
        return E_FAIL;
    if (uint64_t(skip_hdr_bytes) > fileSize) {
        ::close(fd);
        return E_INVALIDARG;
    }
    m_fd = fd;
    m_headerSize = skip_hdr_bytes;
    m_sampleSize = size;
    m_channelCount = nChannels;
    m_sampleType = vt;
    m_knownFrames = TotalFrames();
    return S_OK;
}

bool CChanSrcSimpleFile::Stamp(FileStamp* stamp) const
{
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0)
        return false;
    stamp->size = uint64_t(st.st_size);
    stamp->modifiedSec = st.st_mtim.tv_sec;
    stamp->modifiedNsec = st.st_mtim.tv_nsec;
    return true;
}

uint64_t CChanSrcSimpleFile::FramesIn(const FileStamp& stamp) const
{
    if (!IsOpen() || stamp.size < m_headerSize)
        return 0;
    return (stamp.size - m_headerSize) / FrameBytes();
}

uint64_t CChanSrcSimpleFile::TotalFrames() const
{
    FileStamp stamp;
    return Stamp(&stamp) ? FramesIn(stamp) : 0;
}

HRESULT CChanSrcSimpleFile::ReadFrames(uint64_t first, uint64_t frames, uint8_t* dest, uint64_t* framesRead) const
{
    // Positioned reads: no file pointer to keep in step with a frame index.
    const uint64_t frameBytes = FrameBytes();
    const uint64_t wanted = frames * frameBytes;
    uint64_t pos = m_headerSize + first * frameBytes;
    uint64_t got = 0;
    while (got < wanted) {
        const size_t ask = static_cast<size_t>(std::min(wanted - got, kMaxReadCall));
        const ssize_t n = ::pread(m_fd, dest + got, ask, static_cast<off_t>(pos));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return E_FAIL;
        if (n == 0)
            break; // the file ended early: it shrank since its size was taken
        got += uint64_t(n);
        pos += uint64_t(n);
    }
    *framesRead = got / frameBytes;
    return S_OK;
}

HRESULT CChanSrcSimpleFile::GetChannelSourceName(BSTR* pbstrName)
{
    return chansrc::CopyText(m_name, pbstrName);
}

HRESULT CChanSrcSimpleFile::GetChannelCount(uint32_t* valp)
{
    if (!valp)
        return E_POINTER;
    *valp = ChannelCount();
    return S_OK;
}

HRESULT CChanSrcSimpleFile::GetChannelSampleType(uint32_t chan, VARTYPE* pvt)
{
    if (chan >= ChannelCount())
        return E_INVALIDARG;
    if (!pvt)
        return E_POINTER;
    *pvt = m_sampleType;
    return S_OK;
}

HRESULT CChanSrcSimpleFile::GetTotalSampleCount(uint32_t chan, uint64_t* valp)
{
    if (chan >= ChannelCount())
        return E_INVALIDARG;
    if (!valp)
        return E_POINTER;
    *valp = TotalFrames();
    return S_OK;
}

HRESULT CChanSrcSimpleFile::IsSampleInterleavedData(VARIANT_BOOL* pVal)
{
    if (!pVal)
        return E_POINTER;
    *pVal = ChannelCount() > 1 ? 1 : 0;
    return S_OK;
}

HRESULT CChanSrcSimpleFile::RefreshTotalSampleCount(uint32_t)
{
    return E_NOTIMPL;
}

HRESULT CChanSrcSimpleFile::ResizeSourceSampleCount(uint32_t)
{
    return E_NOTIMPL;
}

HRESULT CChanSrcSimpleFile::GetChannelData(uint32_t chan, uint64_t offset, uint32_t samples, VARIANT* psav,
                                           uint32_t* pSampsCopied)
{
    if (pSampsCopied)
        *pSampsCopied = 0;
    if (!psav)
        return E_POINTER;
    if (chan >= ChannelCount() || psav->vt != (VT_ARRAY | m_sampleType))
        return E_INVALIDARG;
    if (!IsOpen())
        return E_FAIL;
    SAFEARRAY* dest = nullptr;
    HRESULT hr = chansrc::CallerArray(*psav, m_sampleType, uint64_t(samples) * m_channelCount, &dest);
    if (FAILED(hr))
        return hr;

    // Only whole frames that exist are read: a truncated last frame is left
    // out. The size is taken again only for a request that reaches past what
    // the file held when last looked at, so that a walk through the file
    // costs one system call per chunk.
    if (offset >= m_knownFrames || samples > m_knownFrames - offset)
        m_knownFrames = TotalFrames();
    if (offset >= m_knownFrames)
        return S_OK;
    const uint64_t count = std::min<uint64_t>(samples, m_knownFrames - offset);
    chansrc::ArrayData data(dest);
    if (FAILED(data.Result()))
        return data.Result();
    uint64_t frames = 0;
    hr = ReadFrames(offset, count, data.Bytes(), &frames);
    if (FAILED(hr))
        return hr;
    if (frames < count) // the file shrank
        m_knownFrames = TotalFrames();
    if (pSampsCopied)
        *pSampsCopied = static_cast<uint32_t>(frames);
    return S_OK;
}

HRESULT CChanSrcSimpleFile::FillBlock(uint64_t offset, uint64_t framesInFile)
{
    const uint64_t start = offset - offset % kBlockFrames;
    const uint64_t frames = std::min<uint64_t>(kBlockFrames, framesInFile - start);
    m_blockStart = UINT64_MAX;
    m_blockFrames = 0;
    try {
        m_block.resize(static_cast<size_t>(frames * FrameBytes()));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::length_error&) {
        return E_OUTOFMEMORY;
    }
    uint64_t read = 0;
    HRESULT hr = ReadFrames(start, frames, m_block.data(), &read);
    if (FAILED(hr))
        return hr;
    m_blockStart = start;
    m_blockFrames = static_cast<uint32_t>(read);
    return S_OK;
}

HRESULT CChanSrcSimpleFile::GetSampleValue(uint32_t chan, uint64_t offset, VARIANT* argp)
{
    if (chan >= ChannelCount())
        return E_INVALIDARG;
    if (!argp)
        return E_POINTER;
    if (!IsOpen())
        return E_FAIL;
    FileStamp stamp;
    if (!Stamp(&stamp))
        return E_FAIL;
    const uint64_t framesInFile = FramesIn(stamp);
    if (offset >= framesInFile)
        return S_FALSE;
    // A file written since the block was read makes the block stale.
    if (!(stamp == m_blockStamp)) {
        m_blockStart = UINT64_MAX;
        m_blockFrames = 0;
        m_blockStamp = stamp;
    }
    if (m_blockStart == UINT64_MAX || offset < m_blockStart || offset - m_blockStart >= m_blockFrames) {
        HRESULT hr = FillBlock(offset, framesInFile);
        if (FAILED(hr))
            return hr;
    }
    if (offset - m_blockStart >= m_blockFrames)
        return S_FALSE;
    HRESULT hr = VariantClear(argp);
    if (FAILED(hr))
        return hr;
    const uint64_t at = (offset - m_blockStart) * FrameBytes() + uint64_t(chan) * m_sampleSize;
    chansrc::StoreSample(argp, m_sampleType, m_block.data() + at);
    return S_OK;
}
