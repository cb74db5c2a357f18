#pragma once
// The "Data Plotting" page of a board's control panel: the application's
// side of the plot control that the scope view hosts. It listens to the
// control's events, keeps one record per source it added (board memory,
// sample files, data snapshots), lists every channel with a check box that
// shows or hides it, and sets the plot's offset, page size and range.
#include <cstdint>
#include <map>
#include <string>

#include <QPointer>
#include <QSize>

#include "CComPtr.h"
#include "CScopeView.h"
#include "CSettingFormView.h"
#include "IScopePanel.h"
#include "TQ8UI.h"
#include "TQ8_64.h"

class QGroupBox;
class QTreeWidget;
class QTreeWidgetItem;
struct SAFEARRAY;

class CFormView_Scope : public CSettingFormView, public IScopePanel {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 101;
    static constexpr uint32_t kNoSource = 0xFFFFFFFF;
    enum SourceType : int32_t { kNoType = 0, kFileSource = 1, kBoardSource = 2, kSnapshotSource = 3 };
    static constexpr VARTYPE kAutomaticType = 13;
    // The page's controls.
    enum ItemId : int {
        kOffsetId = 1047,
        kPageSizeId = 1048,
        kMinId = 1049,
        kMaxId = 1050,
        kApplyId = 1053,
        kSetDefaultsId = 1054,
        kAutoSetId = 1055,
        kClearAllId = 1056,
        kAddId = 1057,
        kZoomId = 1058,
        kListId = 1059,
        kRemoveId = 1060,
        kGoToId = 1087,
        kSyncId = 1154,
        kSourceInfoId = 1279,
    };
    // The DISPID that stands for all four plot parameters.
    static constexpr DISPID kAllPlotParameters = -1;

    // What the panel knows of one plot source it added.
    class CPlotSrcState {
    public:
        CPlotSrcState();
        virtual ~CPlotSrcState() = default;
        CPlotSrcState(const CPlotSrcState&) = default;
        CPlotSrcState& operator=(const CPlotSrcState&) = default;

        uint32_t GetChannelCount() const;
        VARTYPE GetSampleVarType() const;
        bool HasInfo() const { return info.size != 0; }
        // Type file, the path kept and its information read; false (and no
        // information) when the library cannot describe the file.
        bool InitFromFile(const std::wstring& filePath);

        int32_t type = kNoType;
        CMainDoc* doc = nullptr;
        TQ8_HANDLE device = nullptr;
        uint32_t channelCount = 4;
        uint32_t channelSelection = 0;
        TQ8_RECORDED_DATA_INFO info{};
        std::wstring description;
        std::wstring path;
        VARTYPE forcedType = kAutomaticType;
        uint32_t forcedChannels = 0;
    };

    explicit CFormView_Scope(CMainDoc& doc, QWidget* parent = nullptr);
    ~CFormView_Scope() override;

    static QSize GetTemplateSize();

    void OnInitialUpdate() override;
    void OnDocumentUpdate(IDocView* sender, int hint, void* object) override;

    // ---- What the document asks (IScopePanel)
    int32_t AddBoardSource(TQ8_HANDLE device, CMainDoc* doc) override;
    bool RemoveBoardSource() override { return RemoveBoardSource(GetDeviceHandle()); }
    bool ShowSnapshot(const uint8_t* samples, uint32_t count, int32_t channels, uint32_t flags,
                      TQ8_HANDLE device) override;
    void RemoveSnapshotSource() override;
    int32_t GetSnapshotSourceId() const override { return static_cast<int32_t>(m_snapshotId); }
    void ApplySampleLimit(uint32_t count) override;
    void OnOpenFileForPlotting() override;
    // A file that cannot be plotted is reported with its name.
    void AddFileSource(const std::wstring& path) override;

    // ---- Sources
    bool AddBoardSource(TQ8_HANDLE device, CMainDoc* doc, uint32_t* id);
    bool RemoveBoardSource(TQ8_HANDLE device);
    // sampleType 13: from the file; channels 0: from the file. false, with
    // the reason, when the file cannot be plotted so.
    bool AddFileSource(const std::wstring& path, VARTYPE sampleType, uint32_t channels,
                       std::wstring* reason = nullptr);
    // Why the file cannot be plotted so (it cannot be read, or holds no
    // whole frame of samples); empty when it can be tried.
    std::wstring FileSourceProblem(const std::wstring& path, VARTYPE sampleType, uint32_t channels) const;
    uint32_t FindBoardSourceId(TQ8_HANDLE device) const;
    CPlotSrcState* FindSourceState(uint32_t id);
    // A board or snapshot source's record is refreshed from the board first.
    bool GetSourceDataInfo(uint32_t id, const TQ8_RECORDED_DATA_INFO** info) const override;
    TQ8_HANDLE GetSourceBoardHandle(uint32_t id) const override;
    IScopeTQ8ChannelArbiter* GetSourceArbiter(uint32_t id) const override;
    IScopeTQ8* GetScopeControl() const override { return m_control.p; }
    void InitBoardSourceInfo(CPlotSrcState& state) const;
    uint32_t GetSelectedSourceId() const;
    void ShowSourceDetails(uint32_t id);
    const std::map<uint32_t, CPlotSrcState>& Sources() const { return m_sources; }

    IScopeTQ8* GetControl() const { return m_control.p; }
    CScopeView* GetScopeView() const { return m_scopeView; }
    QTreeWidget* GetSourceList() const { return m_list; }
    // The source whose information describes the labels.
    uint32_t GetLabelSourceId() const { return m_labelSourceId; }
    bool IsAdvised() const { return m_cookies[0] || m_cookies[1] || m_cookies[2]; }

    // ---- Buttons
    void OnApply();
    void OnZoomToSelection();
    void OnGoTo();
    void OnSetDefaults();
    void OnAutoSet();
    void OnClearAll();
    void OnAdd();
    void OnRemoveSelected();
    void OnSourceInfo();

    // ---- Events of the control
    void ReadPlotParameters(DISPID id);
    void OnSelectionChange(uint64_t start, uint64_t end);
    void AddSourceRows(uint32_t id);
    void RemoveSourceRows(uint32_t id);
    void OnSourceDataError(uint32_t id, BSTR reason);

    // ---- Labels and plot options
    void ApplyPlotOptions();
    uint32_t ChooseLabelSource() const;
    void UpdateLabelSource();

    // The label texts; false when the panel leaves the label to the plot.
    bool XAxisLabel(uint64_t x, std::wstring& text) const;
    bool XSelLabel(uint64_t x, std::wstring& text) const;
    bool XSelSpanLabel(uint64_t x1, uint64_t x2, std::wstring& text) const;
    bool YAxisLabel(double y, std::wstring& text) const;
    bool SampleTipLabel(uint32_t channelId, const VARIANT& value, std::wstring& text) const;
    const TQ8_RECORDED_DATA_INFO& GetLabelInfo() const { return m_labelInfo; }
    uint32_t GetTotalChannelCount() const;

    // ---- Controller synchronisation and workspace state
    // Each board this one controls, at any depth, gets the change once.
    void PropagatePlotParameter(DISPID id);
    void SyncFromController(DISPID id);
    void OnControllerChanged();
    void OnSyncClicked();
    void StorePlotState();
    void RestorePlotState();

    // The plot caption for the current sources.
    std::wstring BuildCaption() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ShowAdjustedPlotParameters(uint64_t offset, uint32_t page, int32_t low, int32_t high);
    // The control's call-backs; their counts are the panel's, which the
    // control never outlives as a sink (every advise is revoked first).
    struct XPropertyNotify : IPropertyNotifySink {
        CFormView_Scope* self = nullptr;
        HRESULT QueryInterface(const IID& iid, void** ppv) override;
        uint32_t AddRef() override { return 2; }
        uint32_t Release() override { return 1; }
        HRESULT OnChanged(DISPID id) override;
        HRESULT OnRequestEdit(DISPID) override { return S_OK; }
    };
    struct XScopeEvents : _IScopeTQ8Events {
        CFormView_Scope* self = nullptr;
        HRESULT QueryInterface(const IID& iid, void** ppv) override;
        uint32_t AddRef() override { return 2; }
        uint32_t Release() override { return 1; }
        HRESULT OnSelectionChange(uint64_t start, uint64_t end) override;
        HRESULT OnSourceAdded(uint32_t id) override;
        HRESULT OnSourceRemoved(uint32_t id) override;
    };
    struct XScopeEvents2 : _IScopeTQ8Events2 {
        CFormView_Scope* self = nullptr;
        HRESULT QueryInterface(const IID& iid, void** ppv) override;
        uint32_t AddRef() override { return 2; }
        uint32_t Release() override { return 1; }
        HRESULT OnSourceDataError(uint32_t id, BSTR reason) override;
    };
    // Each method declines (E_NOTIMPL) when the panel has no text, and the
    // plot draws its own label.
    struct XLabelProvider : IScopeTQ8CustomLabelProvider {
        CFormView_Scope* self = nullptr;
        HRESULT QueryInterface(const IID& iid, void** ppv) override;
        uint32_t AddRef() override { return 2; }
        uint32_t Release() override { return 1; }
        HRESULT GetXAxisLabel(uint64_t x, BSTR* label) override;
        HRESULT GetYAxisLabel(double y, BSTR* label) override;
        HRESULT GetXSelLabel(uint64_t x, BSTR* label) override;
        HRESULT GetXSelSpanLabel(uint64_t x1, uint64_t x2, BSTR* label) override;
        HRESULT GetSampleTipLabel(uint32_t channelId, uint64_t sample, VARIANT value, BSTR* label) override;
    };

    void CreateControls();
    QGroupBox* CreateParameters();
    void ConnectControls();
    void SizeListColumns();
    void ConnectToControl();
    void Disconnect();
    void Advise(const IID& iid, IUnknown* sink, uint32_t& cookie);
    void Unadvise(const IID& iid, uint32_t& cookie);
    bool AddSnapshotSource(uint32_t channels, uint32_t length, TQ8_HANDLE device);
    bool ResizeSnapshotSource(uint32_t length, uint32_t channels);
    bool AddFileSourceOrReport(const std::wstring& path);
    void OnListItemChanged(QTreeWidgetItem* item, int column);
    void OnListSelectionChanged();
    void UpdateGoToButton();
    void UpdateSourceInfoButton();
    void UpdateCaption();
    void FocusScopeView();
    uint32_t SourceOfChannel(uint32_t channelId) const;

    XPropertyNotify m_xPropertyNotify;
    XScopeEvents m_xScopeEvents;
    XScopeEvents2 m_xScopeEvents2;
    XLabelProvider m_xLabelProvider;
    uint32_t m_cookies[3] = {0, 0, 0};
    CComPtr<IScopeTQ8> m_control;
    QPointer<CScopeView> m_scopeView;
    std::map<uint32_t, CPlotSrcState> m_sources;
    int32_t m_plotAxisX = -1;
    int32_t m_plotAxisY = -1;
    int32_t m_plotSampTips = -1;
    int32_t m_plotHexAdcVal = 0;
    SAFEARRAY* m_snapshot = nullptr;
    uint32_t m_snapshotChannels = 0;
    uint32_t m_snapshotId = kNoSource;
    TQ8_RECORDED_DATA_INFO m_labelInfo{};
    uint32_t m_labelSourceId = kNoSource;
    QTreeWidget* m_list = nullptr;
    uint64_t m_plotOffset = 0;
    uint32_t m_pageSize = 8192;
    int32_t m_minSample = 0;
    int32_t m_maxSample = 65536;
    CPlotSrcState* m_pending = nullptr;
    bool m_addingRows = false;
    bool m_columnsSized = false;
    // A workspace was loaded before the plot control existed.
    bool m_plotStatePending = false;
};
