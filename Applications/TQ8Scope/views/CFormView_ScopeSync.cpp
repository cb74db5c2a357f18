// The scope panel's plot parameters: following a controller board, passing
// changes on to controlled boards, and the workspace state.
#include <set>

#include <QCheckBox>
#include <QLineEdit>

#include "CDeviceManagerTQ8.h"
#include "CFormView_Scope.h"
#include "CMainApp.h"
#include "CMainDoc.h"
#include "DialogItems.h"
#include "PersistentOptsKeys.h"

namespace {

// The boards passing a change on, outermost first. A board that follows the
// change and passes it on again while it is among them (relations damaged
// into a circle) does not.
std::set<const CMainDoc*> g_passing;

} // namespace

// Every board below this one gets the change, also those controlled through
// a board in between: each follows its own controller.
void CFormView_Scope::PropagatePlotParameter(DISPID id)
{
    CDeviceManagerTQ8* devices = GetDocument().GetDeviceManager();
    if (!devices || !g_passing.insert(&GetDocument()).second)
        return;
    CDeviceManagerTQ8::HandleList controlled;
    devices->GetControlledDevices(GetDeviceHandle(), controlled);
    for (TQ8_HANDLE handle : controlled)
        if (CMainDoc* doc = devices->GetDocument(handle))
            doc->UpdateAllViews(dochint::kPlotParameters, reinterpret_cast<void*>(intptr_t(id)));
    g_passing.erase(&GetDocument());
}

void CFormView_Scope::SyncFromController(DISPID id)
{
    if (!ItemAs<QCheckBox>(kSyncId)->isChecked() || !m_control)
        return;
    CMainDoc* controller = GetDocument().GetControllerDocument();
    IScopePanel* panel = controller ? controller->GetScopeFormView() : nullptr;
    IScopeTQ8* source = panel ? panel->GetScopeControl() : nullptr;
    if (!source)
        return;
    const bool all = id == kAllPlotParameters;
    uint64_t offset = 0;
    uint32_t width = 0;
    int32_t value = 0;
    if ((all || id == ScopeDispId::StartSample) && SUCCEEDED(source->get_StartSample(&offset)))
        m_control->put_StartSample(offset);
    if ((all || id == ScopeDispId::PageWidth) && SUCCEEDED(source->get_PageWidth(&width)))
        m_control->put_PageWidth(width);
    if ((all || id == ScopeDispId::MinSampleValue) && SUCCEEDED(source->get_MinSampleValue(&value)))
        m_control->put_MinSampleValue(value);
    if ((all || id == ScopeDispId::MaxSampleValue) && SUCCEEDED(source->get_MaxSampleValue(&value)))
        m_control->put_MaxSampleValue(value);
}

void CFormView_Scope::OnSyncClicked()
{
    if (GetDocument().IsControlled() && ItemAs<QCheckBox>(kSyncId)->isChecked())
        SyncFromController(kAllPlotParameters);
}

void CFormView_Scope::OnControllerChanged()
{
    auto* box = ItemAs<QCheckBox>(kSyncId);
    const bool controlled = GetDocument().IsControlled();
    box->setEnabled(controlled);
    if (!controlled)
        return;
    CMainApp* app = GetDocument().GetApp();
    if (app && (app->GetAppFlags() & opts::kAppFlagSyncControlledPlots))
        box->setChecked(true);
    if (box->isChecked())
        SyncFromController(kAllPlotParameters);
}

void CFormView_Scope::StorePlotState()
{
    CMainDocWsData& ws = GetDocument().GetWsData();
    bool changed = false;
    const auto take = [&changed](auto& stored, auto value) {
        if (stored != value) {
            stored = value;
            changed = true;
        }
    };
    uint64_t offset = 0;
    uint32_t width = 0;
    int32_t low = 0;
    int32_t high = 0;
    if (GetDlgItemUInt64(Item(kOffsetId), offset))
        take(ws.PlotOffset, offset);
    if (GetDlgItemUInt32(Item(kPageSizeId), width))
        take(ws.PlotPageWidth, width);
    if (GetDlgItemInt32(Item(kMinId), low))
        take(ws.PlotMinSampleValue, low);
    if (GetDlgItemInt32(Item(kMaxId), high))
        take(ws.PlotMaxSampleValue, high);
    take(ws.PlotSyncController, int32_t(ItemAs<QCheckBox>(kSyncId)->isChecked() ? 1 : 0));
    if (changed)
        GetDocument().SetModified(true);
}

void CFormView_Scope::RestorePlotState()
{
    const CMainDocWsData& ws = GetDocument().GetWsData();
    ItemAs<QCheckBox>(kSyncId)->setChecked(ws.PlotSyncController != 0);
    // The scope view makes its control after the documents of a workspace
    // have opened; the values go to the control when it connects.
    m_plotStatePending = !m_control;
    if (!m_control)
        return;
    m_control->put_StartSample(ws.PlotOffset);
    m_control->put_PageWidth(ws.PlotPageWidth);
    m_control->put_MinSampleValue(ws.PlotMinSampleValue);
    m_control->put_MaxSampleValue(ws.PlotMaxSampleValue);
}
