#include "BoardWindowForms.h"

#include "CChildFrame.h"
#include "CForm_Action.h"
#include "CForm_Clocks.h"
#include "CForm_Data.h"
#include "CForm_DcOffset.h"
#include "CForm_FLPC2_Dec.h"
#include "CForm_FLPC4_FFT.h"
#include "CForm_FLPC5_FIR1.h"
#include "CForm_FLPC6_FIR2.h"
#include "CForm_FPGAProc.h"
#include "CForm_Remote.h"
#include "CForm_Status.h"
#include "CForm_Timestamps.h"
#include "CForm_Trig.h"
#include "CForm_Troubleshooting.h"
#include "CForm_ZAB.h"
#include "CFormView_Scope.h"
#include "CMainDoc.h"
#include "CPlotGoToDlg.h"
#include "CScopeView.h"
#include "CVltTabView.h"

namespace {

// A page needs a board document; any other document gets none.
template <class Form>
QWidget* MakePage(IBoardDocument& document)
{
    auto* doc = dynamic_cast<CMainDoc*>(&document);
    if (!doc)
        return nullptr;
    auto* form = new Form(*doc);
    form->OnInitialUpdate();
    return form;
}

template <class Form>
void RegisterPage(size_t bit)
{
    CChildFrame::PageEntry& entry = CChildFrame::PageTable()[bit];
    entry.create = MakePage<Form>;
    entry.formHeight = [] { return Form::GetTemplateSize().height(); };
}

} // namespace

void RegisterBoardWindowForms()
{
    CChildFrame::PaneFactories& panes = CChildFrame::Panes();
    panes.controlPanel = [](QWidget* parent) { return new CVltTabView(parent); };
    panes.actionForm = [](IBoardDocument& document, QWidget* parent) -> QWidget* {
        auto* doc = dynamic_cast<CMainDoc*>(&document);
        if (!doc)
            return nullptr;
        auto* form = new CForm_Action(*doc, parent);
        form->OnInitialUpdate();
        return form;
    };
    panes.plotView = [](IBoardDocument& document, QWidget* parent) -> QWidget* {
        auto* doc = dynamic_cast<CMainDoc*>(&document);
        if (!doc)
            return nullptr;
        auto* view = new CScopeView(*doc, parent);
        view->Create();
        return view;
    };
    panes.plotHasSources = [](QWidget* plotView) {
        auto* view = qobject_cast<CScopeView*>(plotView);
        return view && view->HasChannelSources();
    };
    panes.goToWindow = [](CChildFrame& frame, QWidget* plotView) -> QWidget* {
        auto* view = qobject_cast<CScopeView*>(plotView);
        if (!view)
            return nullptr;
        auto* dialog = new CPlotGoToDlg(&frame, view->GetDocument().GetDeviceHandle(), view);
        if (!dialog->Create()) {
            delete dialog;
            return nullptr;
        }
        return dialog;
    };
    panes.actionFormSize = [] { return CForm_Action::GetTemplateSize(); };
    RegisterPage<CForm_Data>(0);
    RegisterPage<CForm_Clocks>(1);
    RegisterPage<CForm_Trig>(2);
    RegisterPage<CForm_DcOffset>(3);
    RegisterPage<CForm_Status>(4);
    RegisterPage<CForm_Timestamps>(5);
    RegisterPage<CForm_ZAB>(6);
    RegisterPage<CForm_FPGAProc>(7);
    RegisterPage<CForm_FLPC2_Dec>(8);
    RegisterPage<CForm_FLPC4_FFT>(9);
    RegisterPage<CForm_FLPC5_FIR1>(10);
    RegisterPage<CForm_FLPC6_FIR2>(11);
    RegisterPage<CForm_Troubleshooting>(12);
    RegisterPage<CFormView_Scope>(13);
    RegisterPage<CForm_Remote>(14);
}
