#pragma once
// The decisions of the spectrum window, kept apart from its widgets: which
// channels of the main plot are analysed, how their blocks are read and
// transformed, the averages, the traces in the window's own plot, its scale
// and labels, and what the tab on display shows. The window renders
// GetDisplay() after each call. Every operation on the window's plot is
// skipped while there is none. UI thread only.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "CFFT.h"
#include "CFFTOptions.h"
#include "CFftChannel.h"
#include "TQ8UI.h"

class IFreqDomainHost;

class CFreqDomainController {
public:
    static constexpr uint32_t kAllSources = 0xFFFFFFFF;
    static constexpr OLE_COLOR kPlotBackColour = 0x733129;
    static constexpr int kFailedSampleType = -512;

    struct Tab {
        CFftChannel* channel;
        bool averaged;
    };
    struct PeakRow {
        int entry; // index into the result's peak list
        std::wstring power, frequency, bin;
    };
    // What the window shows for the tab on display.
    struct Display {
        bool withChannels = false;
        bool restartAveraging = false; // averaging on
        bool peakList = false;         // peak tracking on
        bool averagedTab = false;
        bool hidden = false;
        OLE_COLOR keyLine = 0xFFFFFF;
        OLE_COLOR keyFill = kPlotBackColour; // unused without channels
        std::wstring fftSize, rate, fundamental, snr, sinad, sfdr, harmonic2, harmonic3, thd;
        std::wstring rmsNoise, rmsTotal, meanSample, minMax, averaged;
        std::vector<PeakRow> peaks; // in sorted order
        int32_t peakSort = 0;
        std::wstring note; // why the last block gave nothing new for this tab
    };

    explicit CFreqDomainController(IFreqDomainHost& host);
    ~CFreqDomainController();
    CFreqDomainController(const CFreqDomainController&) = delete;
    CFreqDomainController& operator=(const CFreqDomainController&) = delete;

    // The window's own plot (null when it could not be created): its
    // initial properties and the label provider.
    void AttachPlot(IScopeTQ8* plot);
    IScopeTQ8* GetPlot() const { return m_plot; }
    // Follows every source of the main plot.
    void AddAllSources();
    void LoadOptions();
    void SaveOptions();
    // Saves the options and lets go of every channel and of the plot.
    void Close();

    void OnSourceAdded(uint32_t srcId);
    // Number of channels removed; kAllSources removes every channel.
    int RemoveSourceChannels(uint32_t srcId);
    // One source, or all with -1. false when any channel failed. A channel
    // whose source may not be read now (its arbiter refuses) keeps its
    // spectrum; the next update after the acquisition reads it. A failed
    // read clears the channel's current spectrum and figures and keeps the
    // reason until a read succeeds; any other failure keeps the spectrum.
    bool UpdateSpectra(int32_t srcId);
    void OnPlotSelectionChanged();
    void ApplyOptions(const CFFTOptions& changed);
    void RestartAveraging();
    void ResetPlotScaling();

    void SelectTab(int index);
    void SetResultHidden(bool hidden);
    void ClickPeakHeader(int column);
    // Selects the bin of a peak entry in the window's plot; false (a beep)
    // without a tab.
    bool ActivatePeak(int entry);

    const CFFTOptions& Options() const { return m_options; }
    const CFFT& Engine() const { return m_fft; }
    const std::vector<Tab>& Tabs() const { return m_tabs; }
    std::wstring TabText(int index) const;
    int CurrentTab() const { return m_currentTab; }
    size_t ChannelCount() const { return m_channels.size(); }
    const CFftChannel& Channel(size_t index) const { return *m_channels[index]; }
    bool WithChannels() const { return m_withChannels; }
    uint32_t ScaleSize() const { return m_scaleSize; }
    double DisplayRate() const { return m_displayRate; }
    uint64_t LastBlockOffset() const { return m_lastOffset; }
    Display GetDisplay() const;
    // Bytes of a block of n frames; false when it is too large to read.
    static bool BlockBytes(uint64_t n, uint64_t channels, uint64_t sampleSize, uint64_t& bytes);
    IScopeTQ8CustomLabelProvider* LabelProvider() { return &m_labels; }

private:
    class XLabelProvider : public IScopeTQ8CustomLabelProvider {
    public:
        explicit XLabelProvider(CFreqDomainController& owner) : m_owner(owner) {}
        HRESULT QueryInterface(const IID& iid, void** ppv) override;
        uint32_t AddRef() override { return ++m_refs; }
        uint32_t Release() override { return --m_refs; }
        HRESULT GetXAxisLabel(uint64_t x, BSTR* pbstrLabel) override;
        HRESULT GetYAxisLabel(double y, BSTR* pbstrLabel) override;
        HRESULT GetXSelLabel(uint64_t x, BSTR* pbstrLabel) override;
        HRESULT GetXSelSpanLabel(uint64_t x1, uint64_t x2, BSTR* pbstrLabel) override;
        HRESULT GetSampleTipLabel(uint32_t chanId, uint64_t dwSample, VARIANT var, BSTR* pbstrLabel) override;

    private:
        CFreqDomainController& m_owner;
        uint32_t m_refs = 0;
    };

    int FftSize() const { return m_options.fftSize; }
    void SanitiseOptions(CFFTOptions& options) const;
    void SetPeakCount(int count);
    void SetAveraging(bool on);
    void RebuildTabs(const CFftChannel* keepChannel, bool keepAveraged);
    void ShowTab();

    bool PrepareChannel(CFftChannel& channel, int n);
    bool UpdateGroup(size_t first, size_t count);
    bool UpdateSingle(size_t index);
    enum class BlockRead { Done, Refused, Failed };
    // Failed leaves the reason in m_readFailure.
    BlockRead ReadBlock(const CFftChannel& channel, uint32_t readChannel);
    // After a failed read: the source's channels first..first+count keep
    // what they show, and say why.
    void NoteRead(size_t first, size_t count, BlockRead read);
    static void KeepPrevious(CFftChannel& channel, const std::wstring& reason);
    uint64_t FirstSample(IScopeTQ8* main) const;
    bool Transform(CFftChannel& channel, size_t start, int stride);
    bool AccumulateAverage(CFftChannel& channel);
    // After a transform or an average into m_scratch: the new trace and
    // figures go to result when figures could be computed; false, with
    // the reason in m_noFigures, when not.
    bool TakeResult(const CFftChannel& channel, CFftChannel::Result& result, const FftMetrics& metrics);
    void CheckSnrThreshold(const CFftChannel& channel);
    bool PlotResult(CFftChannel& channel, bool averaged, uint32_t samples);
    void RemoveTrace(CFftChannel::Result& result);
    void CopyPeaks(std::vector<FftPeak>& to) const;

    IFreqDomainHost& m_host;
    CFFTOptions m_options;
    CFFT m_fft;
    IScopeTQ8* m_plot = nullptr; // with a reference of ours
    XLabelProvider m_labels;
    std::vector<std::unique_ptr<CFftChannel>> m_channels;
    std::vector<Tab> m_tabs;
    int m_currentTab = -1;
    std::vector<double> m_block; // raw samples, kept aligned for any type
    std::wstring m_readFailure;  // of the last failed ReadBlock
    std::wstring m_noFigures;    // of the last TakeResult that took nothing
    std::vector<uint8_t> m_scratch; // the byte trace of a block not yet taken
    uint64_t m_lastOffset = 0;
    uint32_t m_scaleSize = 0;
    double m_displayRate = 0.0;
    bool m_withChannels = false;
};
