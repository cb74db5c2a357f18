#include "CFreqDomainDocHost.h"

#include <QWidget>

#include "CMainApp.h"
#include "CMainDoc.h"
#include "IScopePanel.h"

IScopeTQ8* CFreqDomainDocHost::GetMainPlot()
{
    IScopePanel* panel = m_doc.GetScopeFormView();
    return panel ? panel->GetScopeControl() : nullptr;
}

TQ8_HANDLE CFreqDomainDocHost::GetSourceBoardHandle(uint32_t srcId)
{
    IScopePanel* panel = m_doc.GetScopeFormView();
    return panel ? panel->GetSourceBoardHandle(srcId) : nullptr;
}

IScopeTQ8ChannelArbiter* CFreqDomainDocHost::GetSourceArbiter(uint32_t srcId)
{
    IScopePanel* panel = m_doc.GetScopeFormView();
    return panel ? panel->GetSourceArbiter(srcId) : nullptr;
}

bool CFreqDomainDocHost::GetSourceDataInfo(uint32_t srcId, TQ8_RECORDED_DATA_INFO& info)
{
    IScopePanel* panel = m_doc.GetScopeFormView();
    const TQ8_RECORDED_DATA_INFO* record = nullptr;
    if (!panel || !panel->GetSourceDataInfo(srcId, &record) || !record)
        return false;
    info = *record;
    return true;
}

std::wstring CFreqDomainDocHost::GetDeviceDisplayName()
{
    return m_doc.GetDeviceDisplayName();
}

CPersistentOpts* CFreqDomainDocHost::GetOptions()
{
    return m_doc.GetApp() ? &m_doc.GetApp()->GetPersistentOpts() : nullptr;
}

bool CFreqDomainDocHost::IsUnsafeMode()
{
    return m_doc.IsUnsafeMode();
}

double CFreqDomainDocHost::GetMinSnrThreshold()
{
    return m_doc.GetMinSnrThreshold();
}

bool CFreqDomainDocHost::IsContinuousMode()
{
    return m_doc.IsContinuousMode();
}

void CFreqDomainDocHost::EndContinuousMode()
{
    m_doc.SetContinuousMode(false, false, true);
}
