#pragma once
// The board document as the application shell sees it: the main frame, the
// child frame and the application reach a board's document only through
// this. The board document itself implements it.
#include <cstdint>
#include <string>

#include "DocStateFlags.h"
#include "TQ8_64.h"

class CChildFrame;

class IBoardDocument {
public:
    virtual ~IBoardDocument() = default;

    virtual TQ8_HANDLE GetDeviceHandle() const = 0;
    virtual uint32_t GetStateFlags() const = 0;
    virtual std::wstring GetTitle() const = 0;
    // Bit i shows entry i of the child frame's page table.
    virtual uint32_t GetControlPanelPageMask() const = 0;
    virtual void SetChildFrame(CChildFrame* frame) = 0;

    // Starts the next acquisition of continuous mode (no controller).
    virtual void StartAcquisition() = 0;
    // Applies the command-line file (command 32804), then asks the main
    // frame for the next board (WM_APP + 2).
    virtual void ApplyCommandLineFile() = 0;
    // The document's close: ends recording and continuous mode and lets go
    // of its board, before its window goes.
    virtual void CloseDocument() = 0;
    // Asked before the document's window or the program closes: false
    // keeps them open.
    virtual bool PromptSaveSettings() { return true; }
    // Application notifications: 0 plot options changed, 1 device list
    // changed, 2 before a workspace save, 3 after a workspace load.
    virtual void OnAppNotify(IBoardDocument* sender, int type, void* object) = 0;

    // The document's own commands (cmd::kOpenSettings ...): whether the
    // document serves id, and then whether it is enabled and checked.
    virtual bool GetCommandState(unsigned id, bool& enabled, bool& checked) const
    {
        (void)id, (void)enabled, (void)checked;
        return false;
    }
    // Runs a document command; false when the document does not serve it or
    // it is disabled.
    virtual bool OnCommand(unsigned id)
    {
        (void)id;
        return false;
    }

    bool IsRecording() const { return GetStateFlags() & docstate::kRecording; }
    bool IsIdle() const { return !(GetStateFlags() & docstate::kNotIdle); }
};
