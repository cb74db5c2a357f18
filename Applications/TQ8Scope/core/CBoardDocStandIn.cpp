#include "CBoardDocStandIn.h"

#include "AppMessages.h"
#include "CMainApp.h"
#include "CMainFrame.h"
#include "ErrorBox.h"

namespace {
constexpr uint32_t kDisplayNameFlags = 156;
constexpr uint32_t kAlwaysShownPages = 0x2037;
} // namespace

CBoardDocStandIn::CBoardDocStandIn(CMainApp& app, TQ8_HANDLE device, uint32_t handOverFlags)
    : m_app(app), m_device(device),
      m_flags((docstate::kLimitPlotData & ~docstate::kHandOver) | (handOverFlags & docstate::kHandOver))
{
}

std::wstring CBoardDocStandIn::GetTitle() const
{
    std::wstring name;
    if (!m_device)
        return L"<No device>";
    if (GetBoardNameString(m_device, name, kDisplayNameFlags) != 0 || name.empty())
        return L"TQ3300";
    return name;
}

uint32_t CBoardDocStandIn::GetControlPanelPageMask() const
{
    return kAlwaysShownPages | (m_app.IsUnsafeMode() ? 0x1000u : 0u);
}

void CBoardDocStandIn::ApplyCommandLineFile()
{
    CMainFrame* frame = m_app.GetMainFrame();
    if (frame && frame->GetCommandLineFileKind() == 1) {
        const std::wstring path = m_app.GetCommandLineFile();
        int32_t result = LoadSettingsFromFileXmlWTQ8(m_device, 0, path.c_str());
        if (result != 0) {
            ShowDeviceErrorBox(result, L"Failed to load and apply board settings: ", m_device);
        } else {
            m_app.GetRecentFileList().Add(path);
            m_app.GetRecentFileList().WriteList();
            frame->ShowStatusText(L"Setting loaded and applied to TQ3300", 2500);
        }
    }
    // Firmware uploads and plotting need windows that are not built yet.
    if (frame)
        vlt::PostAppMessage(frame, WM_APP + 2);
}

void CBoardDocStandIn::CloseDocument()
{
    m_app.GetWorkspace().ReleaseDevice(m_device);
    m_device = nullptr;
}
