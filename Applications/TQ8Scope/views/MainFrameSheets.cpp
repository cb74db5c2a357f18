#include "MainFrameSheets.h"

#include <string>

#include "BrowseForFile.h"
#include "CFormView_Scope.h"
#include "CMainFrame.h"
#include "COpts_ControllerPP.h"
#include "COpts_PlotPP.h"
#include "COpts_RecPP.h"
#include "COpts_WsPP.h"
#include "CPlotSrcFormatPP.h"
#include "CRecDataCtxAdvPP.h"
#include "CRecDataCtxStdPP.h"
#include "CVltPropertySheet.h"
#include "MessageBox.h"

namespace {

constexpr wchar_t kNoContextWarning[] =
    L"Context data could not be found for the selected acquisition or playback data file. This context data "
    L"contains the details of the underlying data and is usually stored in an auxiliary file with the same "
    L"pathname as the data file appended with a .vrdc or .kwmtx extension.";

void AddPage(CVltPropertySheet& sheet, CPropertyPage* page)
{
    sheet.AddPage(page, page->GetCaption());
}

} // namespace

void AddProgramOptionsPages(CVltPropertySheet& sheet, CMainApp& app)
{
    AddPage(sheet, new COpts_WsPP(app));
    AddPage(sheet, new COpts_RecPP(app));
    AddPage(sheet, new COpts_PlotPP(app));
    AddPage(sheet, new COpts_ControllerPP(app));
}

void ShowRecordedDataDetails(QWidget* owner)
{
    std::wstring path;
    if (!BrowseForRd8File(owner, nullptr, true, false, std::wstring(), nullptr, &path, L"View Recorded Data Details"))
        return;
    CVltPropertySheet sheet(QString::fromWCharArray(kRecordedDataDetailsTitle), owner, 0);
    auto* general = new CRecDataCtxStdPP;
    auto* advanced = new CRecDataCtxAdvPP;
    const bool described = general->LoadFromFile(path);
    if (!advanced->OpenContextFile(path) || !described)
        vlt::ShowMessageBox(kNoContextWarning, MB_ICONWARNING, owner);
    AddPage(sheet, general);
    AddPage(sheet, advanced);
    sheet.exec();
}

void ShowPlotSourceDetails(CFormView_Scope& panel, uint32_t srcId)
{
    const CFormView_Scope::CPlotSrcState* state = panel.FindSourceState(srcId);
    if (!state)
        return;
    CVltPropertySheet sheet(QString::fromWCharArray(kRecordedDataDetailsTitle), &panel, 0);
    sheet.HideApplyButton();
    auto* general = new CRecDataCtxStdPP;
    const bool isFile = state->type == CFormView_Scope::kFileSource;
    if (isFile)
        general->LoadFromFile(state->path);
    else
        general->SetRecordedDataInfo(state->info);
    AddPage(sheet, general);
    if (isFile) {
        auto* advanced = new CRecDataCtxAdvPP;
        if (advanced->OpenContextFile(state->path))
            AddPage(sheet, advanced);
        else
            delete advanced;
        auto* format = new CPlotSrcFormatPP;
        if (format->AttachSource(&panel, srcId))
            AddPage(sheet, format);
        else
            delete format;
    }
    sheet.exec();
}

void RegisterMainFrameSheets()
{
    CMainFrame::ProgramOptionsPages() = AddProgramOptionsPages;
    CMainFrame::RecordedDataDetailsCommand() = ShowRecordedDataDetails;
}
