#pragma once
// What the board document asks of its action form, the form that starts and
// stops acquisitions. The action form implements it.
class IActionForm {
public:
    virtual ~IActionForm() = default;

    // Starts (ms > 0) or stops (0) the delay after which the document is
    // shown as acquiring (CMainDoc::MarkAcquisitionActive).
    virtual void SetAcquisitionActiveTimer(unsigned ms) = 0;
    // The check box "Acquire continuously".
    virtual bool IsAcquireContinuouslyChecked() const = 0;
    virtual void SetAcquireContinuouslyChecked(bool on) = 0;
};
