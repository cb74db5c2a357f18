#pragma once
// What the recording window's controller asks of the window around it:
// its controls, boxes, status texts and the queued Begin/Stop step.
#include <cstdint>
#include <string>

#include "TQ8_64.h"

class IRecordWindowHost {
public:
    // Controls to settings (save) or back; false after a validation message.
    virtual bool ExchangeData(bool save) = 0;
    virtual bool IsMultipleModeChecked() const = 0;
    virtual bool IsSnapshotDisplayChecked() const = 0;
    // The "Repetition" count; false after the invalid-number message.
    virtual bool ReadRepetitions(uint32_t& count) = 0;
    virtual int ShowBox(const std::wstring& text, unsigned style) = 0;
    virtual void ShowStatusText(const std::wstring& text, unsigned timeoutMs) = 0;
    virtual void FocusDeviceList() = 0;
    // The controls while recording (a marquee for a board without limit) or idle.
    virtual void SetRecordingControls(bool recording, bool marquee) = 0;
    virtual void ClearStateColumn() = 0;
    virtual void SetRowState(TQ8_HANDLE device, const std::wstring& text) = 0;
    virtual void ShowStatistics(uint32_t passes, uint32_t attempts) = 0;
    virtual void ShowFigures(const std::wstring& elapsed, const std::wstring& amount,
                             const std::wstring& throughput) = 0;
    virtual void SetProgressPosition(int position) = 0;
    // The line above the list naming the boards in trouble; empty hides it.
    virtual void ShowTroubleLine(const std::wstring& text) = 0;
    // Runs CRecordController::OnQueuedBeginStop later, from the event loop.
    virtual void QueueBeginStop() = 0;

protected:
    ~IRecordWindowHost() = default;
};
