#pragma once
// TEMPORARY: stands in for the board document (CMainDoc) until it is built.
// It holds its board, shows the board's name as its title and applies a
// command-line settings file; it has no views, no acquisition and no
// recording, so its board is always idle.
#include "IBoardDocument.h"

class CMainApp;

class CBoardDocStandIn : public IBoardDocument {
public:
    CBoardDocStandIn(CMainApp& app, TQ8_HANDLE device, uint32_t handOverFlags);

    TQ8_HANDLE GetDeviceHandle() const override { return m_device; }
    uint32_t GetStateFlags() const override { return m_flags; }
    std::wstring GetTitle() const override;
    uint32_t GetControlPanelPageMask() const override;
    void SetChildFrame(CChildFrame* frame) override { m_frame = frame; }
    void StartAcquisition() override {}
    void ApplyCommandLineFile() override;
    void CloseDocument() override;
    void OnAppNotify(IBoardDocument*, int, void*) override {}

private:
    CMainApp& m_app;
    TQ8_HANDLE m_device;
    uint32_t m_flags;
    CChildFrame* m_frame = nullptr;
};
