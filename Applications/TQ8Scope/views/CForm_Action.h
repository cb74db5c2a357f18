#pragma once
// The action pane at the lower left of a board window: the board's name and
// acquisition rate, start and stop, continuous mode, always force trigger,
// standby, software trigger, and the links to the board's sync device and
// controller. Its timers mark a running acquisition after 400 ms (timer 1)
// and count acquisitions per second in continuous mode (timer 2).
#include <cstdint>
#include <optional>

#include <QSize>
#include <QWidget>

#include "ActionFormRules.h"
#include "IActionForm.h"
#include "IDocView.h"
#include "TQ8_64.h"

class CLabel;
class CMainDoc;
class CMainFrame;
class CSysLink;
class QCheckBox;
class QLabel;
class QPushButton;
namespace vlt {
class TimerSet;
}

class CForm_Action : public QWidget, public IDocView, public IActionForm {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 105;
    // The controls' template ids.
    enum ControlId : int {
        kBoardNameId = 1001,
        kStartStopId = 1002,
        kRecordId = 1003,
        kStandbyId = 1064,
        kContinuousId = 1065,
        kRateId = 1075,
        kForceTriggerId = 1153,
        kAlwaysForceTriggerId = 1154,
        kPerSecondId = 1356,
        kSyncLinkId = 1377,
        kControllerLinkId = 1378,
        kSyncLabelId = 1403,
        kControllerLabelId = 1404,
    };
    static constexpr unsigned kActivityTimer = 1;
    static constexpr unsigned kRateTimer = 2;
    static constexpr int kActivityPeriodMs = 400;
    static constexpr int kRatePeriodMs = 1000;

    // Registers with the document as one of its views.
    explicit CForm_Action(CMainDoc& doc, QWidget* parent = nullptr);
    // The document's action form is cleared first, so that nothing is
    // addressed to this form any more.
    ~CForm_Action() override;

    static QSize GetTemplateSize();
    void OnInitialUpdate();

    // ---- IActionForm
    void SetAcquisitionActiveTimer(unsigned ms) override;
    bool IsAcquireContinuouslyChecked() const override;
    void SetAcquireContinuouslyChecked(bool on) override;

    // ---- IDocView
    void OnDocumentUpdate(IDocView* sender, int hint, void* object) override;

    void OnTimer(unsigned id);
    vlt::TimerSet& Timers() { return *m_timers; }
    uint32_t GetTimerFlags() const { return m_timerFlags; }

    // The control with the template id, or null; the board-name label.
    QWidget* Item(int id) const;
    CLabel* GetNameLabel() const { return m_nameLabel; }

    void OnStartStop();
    void OnControllerLink(int index);
    void OnSyncLink(int index);

private:
    void CreateControls();
    void CreateNameLabel();
    void ShowControllerLink();
    void RefreshControllerLink();
    void ShowStartButton();
    void RefreshSyncLink();
    void ShowRate();
    void OnAcquisitionState(bool busy);
    void OnSoftwareTrigger();
    void StoreWorkspaceState();
    void RestoreWorkspaceState();
    CMainFrame* MainFrame() const;

    CMainDoc& m_doc;
    TQ8_HANDLE m_device = nullptr;
    vlt::TimerSet* m_timers = nullptr;
    uint32_t m_timerFlags = 0;
    std::optional<actionform::Clock::time_point> m_deadline;
    uint32_t m_lastCount = 0;
    // The board is shown busy (hint 6): acquiring after the delay, or recording.
    bool m_busy = false;
    CLabel* m_nameLabel = nullptr;
    QPushButton* m_startStop = nullptr;
    QCheckBox* m_continuous = nullptr;
    QCheckBox* m_forceTrigger = nullptr;
    QLabel* m_rate = nullptr;
    QLabel* m_perSecond = nullptr;
    CSysLink* m_controllerLink = nullptr;
    CSysLink* m_syncLink = nullptr;
};
