#pragma once
// The document of one connected board: borrows the board's handle from the
// device manager for its whole life, keeps the board's state flags, runs
// acquisitions on its own thread, alone, in continuous mode or as the
// controller of other boards, and handles the board's settings files.
// It is also the plot's channel arbiter. UI thread only, except the
// acquisition thread it owns.
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <QObject>
#include <QPointer>

#include "AppMessages.h"
#include "CMainDocWsData.h"
#include "CRecParamsManager.h"
#include "CSaveBrdDataCtx.h"
#include "DocHints.h"
#include "IBoardDocument.h"
#include "TQ8UI.h"

class CAcquisitionThread;
class CDeviceManagerTQ8;
class CMainApp;
class CMainFrame;
class CVltHub6Mgr;
struct IVltHUB6;
class IActionForm;
class IDataForm;
class IDocView;
class IFreqDomainWindow;
class IScopePanel;
class QWidget;

class CMainDoc : public QObject, public IBoardDocument, public vlt::IAppMessageTarget {
    Q_OBJECT
public:
    static constexpr int32_t kArbiterOk = 0;    // S_OK
    static constexpr int32_t kArbiterNo = 1;    // S_FALSE

    // app and devices may be null (then there is no options file, main
    // frame or relation between boards). device is the board handed over.
    CMainDoc(CMainApp* app, CDeviceManagerTQ8* devices, TQ8_HANDLE device, uint32_t handOverFlags);
    ~CMainDoc() override;

    // ---- IBoardDocument
    TQ8_HANDLE GetDeviceHandle() const override { return m_device; }
    uint32_t GetStateFlags() const override { return m_flags; }
    std::wstring GetTitle() const override { return m_title; }
    uint32_t GetControlPanelPageMask() const override;
    void SetChildFrame(CChildFrame* frame) override { m_childFrame = frame; }
    // The main frame's loop: restarts only a board still in continuous mode
    // (its off-message may still be on its way to the loop).
    void StartAcquisition() override;
    void ApplyCommandLineFile() override;
    void CloseDocument() override;
    void OnAppNotify(IBoardDocument* sender, int type, void* object) override;
    bool GetCommandState(unsigned id, bool& enabled, bool& checked) const override;
    bool OnCommand(unsigned id) override;

    // ---- Views and forms (each registers itself when it is created)
    void AddView(IDocView* view);
    void RemoveView(IDocView* view);
    CChildFrame* GetChildFrame() const { return m_childFrame; }
    IDocView* GetScopeView() const { return m_scopeView; }
    // Stores the plot view, then tells the other views (hint 2).
    void SetScopeView(IDocView* view);
    IScopePanel* GetScopeFormView() const { return m_scopePanel; }
    void SetScopeFormView(IScopePanel* panel) { m_scopePanel = panel; }
    void SetDataForm(IDataForm* form) { m_dataForm = form; }
    IActionForm* GetActionForm() const { return m_actionForm; }
    void SetActionForm(IActionForm* form) { m_actionForm = form; }
    // Asks the MDI area to close the document's window.
    void CloseChildFrame();
    // Tells every view but the sender of a change (dochint::...).
    virtual void UpdateAllViews(int hint, void* object = nullptr, IDocView* sender = nullptr);
    // The timed status text of the main frame (0: it stays until replaced).
    virtual void ShowStatusText(const std::wstring& text, unsigned timeoutMs);
    void OnChannelSourceAdded(uint32_t srcId);
    void OnChannelSourceRemoved(uint32_t srcId);
    void OnPlotSelectionChange();
    // The plot control's channel arbiter; lives as long as the document.
    IScopeTQ8ChannelArbiter* GetChannelArbiter() { return &m_arbiter; }
    // The document's reference count as the arbiter's callers see it.
    uint32_t GetArbiterRefCount() const { return m_arbiterRefs; }

    // ---- Tool windows. Each kind of window registers how it is made; a
    // command whose window kind is not registered is disabled.
    struct ToolWindowFactories {
        std::function<IFreqDomainWindow*(CMainDoc&, QWidget* parent)> freqDomain;
        std::function<QWidget*(CMainDoc&, QWidget* parent)> driverStatistics;
        // The troubleshooting page's register windows.
        std::function<QWidget*(CMainDoc&, QWidget* parent)> registerCache;
        std::function<QWidget*(CMainDoc&, QWidget* parent)> serialDeviceIo;
        // The upload window calls OnFirmwareUploadDlgClosed when it goes away.
        std::function<QWidget*(CMainDoc&, const std::wstring& path, QWidget* parent)> firmwareUpload;
        // Modal dialogs: save board memory, and ADC calibration with the
        // last ADC choice (0 both, 1 ADC#1, 2 ADC#2), which they may change.
        std::function<void(CMainDoc&)> saveBoardData;
        std::function<void(CMainDoc&, int32_t& adcChoice)> calibrateAdcs;
    };
    static ToolWindowFactories& Factories();
    void OnFrequencyDomain();
    void OnDriverStatistics();
    IFreqDomainWindow* GetFreqDomainWindow() const { return m_freqDomain.get(); }
    QWidget* GetDriverStatisticsWindow() const { return m_driverStats.data(); }
    // "View Register Cache..." and "CG/ADC/DAC Register IO...": the first
    // call makes the window, centres and shows it; later calls restore it
    // when minimised, show it when hidden and hide it when shown.
    void OnViewRegisterCache();
    void OnSerialDeviceRegisterIo();
    QWidget* GetRegisterCacheWindow() const { return m_registerCache.data(); }
    QWidget* GetSerialDeviceIoWindow() const { return m_serialDeviceIo.data(); }
    void OnUploadFirmware();
    bool StartFirmwareUpload(const std::wstring& path, bool fromCommandLine);
    void OnFirmwareUploadDlgClosed();
    QWidget* GetFirmwareUploadWindow() const { return m_firmwareUpload.data(); }

    // ---- State
    bool IsContinuousMode() const { return m_flags & docstate::kContinuous; }
    bool IsAcquiring() const { return m_flags & docstate::kBusy; }
    bool IsController() const { return m_flags & docstate::kController; }
    bool IsControlled() const { return m_flags & docstate::kControlled; }
    bool IsPlotDataLimited() const { return m_flags & docstate::kLimitPlotData; }
    uint32_t GetPlotDataLimit() const { return IsPlotDataLimited() ? m_sampleCount : 0; }
    void SetLimitPlotData(bool on);
    bool IsAlwaysForceTrigger() const { return m_flags & docstate::kAlwaysForceTrigger; }
    void SetAlwaysForceTrigger(bool on);
    void SetNoPlotAfterAcquisition(bool on);
    void SetStopOnThresholdChange(bool on, int32_t channel, uint32_t sample, uint8_t level);
    bool IsTwoChannelModel() const;
    bool IsMaster() const;
    bool IsSlave() const;
    bool IsVirtualDevice() const;
    TQ8_HANDLE GetControllerDevice() const;
    CMainDoc* GetControllerDocument() const;
    void SetControlled(TQ8_HANDLE controller);
    void RefreshControllerFlag();
    void AfterWorkspaceLoad();
    void BeforeWorkspaceSave();

    // The plot's channel arbiter: kArbiterOk only while board memory holds
    // data and no acquisition or recording runs.
    int32_t SafeToObtainChannelData(uint32_t srcId) const;

    // ---- Names and options
    // Board name with flags 8 (short) or 156; "TQ3300" when the library
    // fails, "<No device>" without a board. device null: this board.
    std::wstring GetDeviceDisplayName(bool shortName = false, TQ8_HANDLE device = nullptr) const;
    std::wstring GetDefaultSettingsFileName() const;
    void UpdateTitle();
    void LoadDocOptions();
    void SaveDocOptions();
    uint32_t GetStartSample() const { return m_startSample; }
    void SetStartSample(uint32_t value) { m_startSample = value; }
    uint32_t GetSampleCount() const { return m_sampleCount; }
    void SetSampleCount(uint32_t value) { m_sampleCount = value; }
    int32_t GetAcquisitionDestination() const { return m_destination; }
    void SetAcquisitionDestination(int32_t value) { m_destination = value; }
    uint32_t GetAcquisitionCount() const { return m_acquisitionCount; }
    uint32_t GetSaveDataFlags() const { return m_saveCtx.GetStoredFlags(); }
    CSaveBrdDataCtx& GetSaveBrdDataCtx() { return m_saveCtx; }
    CMainDocWsData& GetWsData() { return m_wsData; }
    double GetMinSnrThreshold() const { return m_minSnr; }
    void SetMinSnrThreshold(double value) { m_minSnr = value; }
    int32_t GetLastAdcChoice() const { return m_lastAdcChoice; }

    // ---- External sync device driving the board
    int32_t GetSyncDeviceId() const { return m_syncDeviceId; }
    int32_t GetSyncOutputIndex() const { return m_syncOutputIndex; }
    bool HasSyncOutput() const { return m_syncDeviceId != 0 && m_syncOutputIndex != -1; }
    // A new id forgets the output; outputIndex is the output of that sync
    // device that feeds this board, or -1 to look it up in the sync-device
    // manager.
    void SetSyncDevice(int32_t syncDeviceId, int32_t outputIndex = -1);
    // The sync device that drives the board (borrowed), or null.
    IVltHUB6* GetSyncDeviceObject() const;
    // The board's acquisition rate in MS/s: actual ADC rate or effective
    // rate; a board clocked by its sync device runs at that device's rate.
    double GetAcquisitionRate(bool actual) const;

    // ---- Workspace state
    void WriteWorkspaceState(std::string& out) const;
    bool ReadWorkspaceState(xmlNode* deviceElement);
    // What a workspace load read for the board.
    void SetWorkspaceState(const CMainDocWsData& state) { m_wsData = state; }

    // ---- Settings files
    const std::wstring& GetSettingsPath() const { return m_settingsPath; }
    void SetSettingsPath(const std::wstring& path, bool addToRecent);
    bool IsModified() const { return m_modified; }
    void SetModified(bool modified);
    bool LoadSettingsFile(const std::wstring& path);
    bool SaveSettingsFile(const std::wstring& path);
    bool PromptSaveSettings() override;
    bool OnSaveSettings();
    bool OnSaveSettingsAs();
    // Loads entry index of the recent list; a failed load removes it.
    bool OnOpenRecentSettings(size_t index);
    // 1 loaded, 0 cancelled by the user, -1 failed.
    int LoadSettings(const std::wstring& path);
    int32_t CopySettingsFrom(CMainDoc& other);
    void CopySettingsToDevices(bool all);
    void OnCopySettingsFrom();

    // ---- Hardware commands and hints
    void OnSetPowerupDefaults();
    void OnRewriteHardwareSettings();
    // true when the configuration EEPROM is valid; silent shows nothing on success.
    bool ValidateEeprom(bool silent);
    bool RefreshRegisterCache(bool fromHardware);
    void NotifyRelationsChanged() { UpdateAllViews(dochint::kRelationsChanged); }
    void NotifyClockChanged() { UpdateAllViews(dochint::kClock); }
    void NotifyTriggerModeChanged() { UpdateAllViews(dochint::kTriggerMode); }
    void NotifyPlotCleared() { UpdateAllViews(dochint::kPlotCleared); }
    // On a master: hint 11 with its handle to the documents of its idle slaves.
    void UpdateSlaveViews();
    // After this board's clock changed, whoever changed it: hint 10 to the
    // views, and on a master hint 11 to its slaves.
    void FollowClockChange();
    // The board changed on the board (settings loaded, copied, set to their
    // defaults, rewritten or read back; new firmware): hint 7, and the clock
    // hints, since the rate may have moved with the rest.
    void NotifyBoardSettingsChanged();

    // ---- Direct reads of board memory (troubleshooting)
    static constexpr uint32_t kMinDmaSamples = 1048576;
    bool ReadSampleRam();
    bool AcquirePciBuffered();
    // Grows (or, forced, replaces) the DMA buffer; the library's result.
    int32_t AllocateDmaBuffer(uint32_t samples, bool forceFree);
    uint32_t GetDmaCapacity() const { return m_dmaCapacity; }

    // ---- Acquisition
    bool StartAcquisitionThread();
    void StopAcquisitionThread();
    bool StartAcquisition(CMainDoc* controller);
    bool StartControlledAcquisitions();
    void StopAcquisition();
    // Stops the boards of this controller's group whose acquisitions have
    // not reported yet.
    void StopControlledAcquisitions();
    void OnAcquisitionDone(uintptr_t wParam, intptr_t lParam);
    void OnControlledAcquisitionDone(TQ8_HANDLE device);
    void SetContinuousMode(bool on, bool updateCheckBox, bool post);
    void SetAcquisitionActive(bool on);
    void MarkAcquisitionActive() { SetAcquisitionActive(true); }
    bool IsReadyForNextContinuous() const;
    bool ValidateAcquisitionSettings(uint32_t operation);
    bool CheckSlaveAgainstMaster(TQ8_HANDLE device, uint32_t operation);
    void CheckStopOnThresholdChange();
    // The action form's check box "Acquire continuously" (kept by the
    // document while there is no action form).
    bool IsAcquireContinuouslyChecked() const;
    void SetAcquireContinuouslyChecked(bool on);
    // The threshold condition: true when the signal does not cross the
    // level upward between the two samples.
    static bool ThresholdChanged(uint8_t first, uint8_t second, uint8_t level);
    // The operation of an acquisition destination; 0 for none.
    static uint32_t OperationOfDestination(int32_t destination);

    // ---- Recording sessions (driven by the recording window)
    int32_t AllocateSnapshotBuffer(uint32_t bytes, bool force);
    bool CreateRecordingSession(CRecParamsManager& manager, CRecParamsManager::CDevState& params);
    bool PrepareRecordingSnapshot(CRecParamsManager& manager, CRecParamsManager::CDevState& params);
    bool ArmRecordingSession();
    // outFlags may be null. last, when given, receives the ended session's
    // final progress (the caller sets its size and frees its error text), and
    // lastResult the query's result (TQ8_ERR_INVALID_HANDLE without a session).
    bool EndRecordingSession(uint32_t* outFlags, TQ8_REC_SESSION_PROGRESS* last = nullptr,
                             int32_t* lastResult = nullptr);
    void ShowRecordingSnapshot(CRecParamsManager& manager);
    // The board's plot source back as it was before a session that never armed.
    void PutBackBoardSource();
    TQ8_REC_SESSION GetRecordingSession() const { return m_session; }
    const uint8_t* GetSnapshotBuffer() const { return m_snapshot.get(); }
    uint32_t GetSnapshotBufferSize() const { return m_snapshotSize; }
    // Samples of the last snapshot fetched into the buffer.
    uint32_t GetSnapshotSamples() const { return m_snapshotSamples; }
    // Snapshot interval in transfers: (rate x 1e6 / transfer samples),
    // truncated, times whole seconds; 0 when that is no finite count.
    static uint32_t SnapshotIntervalCount(double rateMHz, uint32_t transferSamples, uint32_t freqMs);

    // Completions of the acquisition thread.
    intptr_t OnAppMessage(unsigned msg, uintptr_t wParam, intptr_t lParam) override;

    // Lets go of the board: stops the thread and releases the board.
    void ReleaseDevice();

    // The workspace's sync-device manager, or null.
    virtual CVltHub6Mgr* SyncManager() const;
    CDeviceManagerTQ8* GetDeviceManager() const { return m_devices; }
    CMainApp* GetApp() const { return m_app; }
    // The program was started with "-unsafe".
    virtual bool IsUnsafeMode() const;

protected:
    CMainDoc* DocumentOf(TQ8_HANDLE device) const;

private:
    class ChannelArbiter : public IScopeTQ8ChannelArbiter {
    public:
        explicit ChannelArbiter(CMainDoc& doc) : m_doc(doc) {}
        HRESULT QueryInterface(const IID& iid, void** ppv) override;
        uint32_t AddRef() override;
        uint32_t Release() override;
        HRESULT SafeToObtainChannelData(uint32_t srcId) override;
        HRESULT OnScopeNeedsDataWhenAvailable(uint32_t srcId) override;

    private:
        CMainDoc& m_doc;
    };

    void AttachDevice();
    // Controller and controlled flags from the device manager's relations.
    void ReadControllerRoles();
    // The library's refusal of a settings file, with the file's own reason
    // where it cannot be read.
    void ReportSettingsLoadFailure(int32_t result, const std::wstring& path);
    bool ApplyDataFormRegion();
    CMainFrame* MainFrame() const;
    size_t CountDocuments() const;
    bool ToggleToolWindow(QWidget* window);
    using ToolWindowFactory = std::function<QWidget*(CMainDoc&, QWidget* parent)>;
    void ToggleOrCreateToolWindow(QPointer<QWidget>& window, const ToolWindowFactory& factory,
                                  const wchar_t* failureText);
    void EndControlledContinuousMode(bool post);
    // Continuous mode of a start: flag, shown state and check box; the main
    // frame is told once the start is complete.
    void EnterContinuousMode();
    // WM_APP to the main frame: the board joins (on) or leaves its loop.
    void TellMainFrameContinuous(bool on, bool post);
    bool HoldsBoards(const CMainDoc* controller) const;
    void ShowAcquisitionStarted();
    int ShowBox(const std::wstring& text, unsigned style);
    void ShowAcquisitionError(int32_t code);
    bool FinishAcquisitionStart(CMainDoc* controller);
    void OnAcquisitionSucceeded(int32_t result, bool continuous);
    bool IsChannelActive(int32_t physical) const;
    bool PrepareDirectRead(uint32_t& remembered, uint32_t& readLength);
    bool FinishDirectRead(int32_t waitResult, uint32_t readLength, const wchar_t* timeoutText,
                          const wchar_t* failurePrefix);
    void FreeDmaBuffer();

    CMainApp* m_app;
    CDeviceManagerTQ8* m_devices;
    TQ8_HANDLE m_device;
    CChildFrame* m_childFrame = nullptr;
    uint32_t m_flags = docstate::kInitial;
    int32_t m_destination = 0;
    uint32_t m_startSample = 0;
    uint32_t m_sampleCount = 32768;
    CSaveBrdDataCtx m_saveCtx;
    CMainDocWsData m_wsData;
    double m_minSnr = -1000.0;
    int32_t m_lastAdcChoice = 0;
    int32_t m_syncDeviceId = 0;
    int32_t m_syncOutputIndex = -1;
    std::vector<IDocView*> m_views;
    IDocView* m_scopeView = nullptr;
    IScopePanel* m_scopePanel = nullptr;
    IDataForm* m_dataForm = nullptr;
    IActionForm* m_actionForm = nullptr;
    std::unique_ptr<IFreqDomainWindow> m_freqDomain;
    QPointer<QWidget> m_driverStats; // a child of the main frame, which may go first
    QPointer<QWidget> m_registerCache;
    QPointer<QWidget> m_serialDeviceIo;
    QPointer<QWidget> m_firmwareUpload;
    bool m_uploadModal = false; // the main frame is modal for the upload window
    ChannelArbiter m_arbiter{*this};
    uint32_t m_arbiterRefs = 1;
    TQ8_REC_SESSION m_session = nullptr;
    // The session took the board's plot source, which a recording that does
    // not start gives back, with the plot's start sample.
    bool m_sessionTookSource = false;
    uint64_t m_sessionPlotStart = 0;
    std::unique_ptr<uint8_t[]> m_snapshot;
    uint32_t m_snapshotSize = 0;
    uint32_t m_snapshotSamples = 0;
    int32_t m_thresholdChannel = 0;
    uint32_t m_thresholdSample = 0;
    uint8_t m_thresholdLevel = 0;
    std::set<TQ8_HANDLE> m_controlledOutstanding;
    uint32_t m_acquisitionCount = 0;
    std::unique_ptr<CAcquisitionThread> m_thread;
    uint64_t m_sequence = 0;          // of the last operation handed to the thread
    uint64_t m_completedSequence = 0; // of the last operation whose completion was taken
    uint32_t m_threadOperation = 0;
    uint32_t m_threadStartSample = 0;
    uint32_t m_threadSampleCount = 0;
    int m_threadLastError = 0;
    bool m_continuousChecked = false; // while there is no action form
    uint8_t* m_dmaBuffer = nullptr;
    uint32_t m_dmaCapacity = 0;
    uint32_t m_dmaValid = 0;
    std::wstring m_title;
    std::wstring m_settingsPath;
    bool m_modified = false;
};
