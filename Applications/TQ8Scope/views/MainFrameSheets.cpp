#include "MainFrameSheets.h"

#include <string>

#include <QPushButton>
#include <QTabWidget>

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
#include "ContextFileProblem.h"
#include "ErrorBeep.h"
#include "MessageBox.h"
#include "TQ8_64.h"

namespace {

constexpr wchar_t kNoContextWarning[] =
    L"Context data could not be found for the selected acquisition or playback data file. This context data "
    L"contains the details of the underlying data and is usually stored in an auxiliary file with the same "
    L"pathname as the data file appended with a .vrdc or .kwmtx extension.";

// The warning when the context data cannot be taken: a context file that is
// there but damaged or not readable is told as such, with the reason.
std::wstring ContextWarning(const std::wstring& dataPath)
{
    const std::wstring problem =
        ContextFileProblem(dataPath, L"the selected acquisition or playback data file");
    return problem.empty() ? kNoContextWarning : problem;
}

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
        vlt::ShowMessageBox(ContextWarning(path), MB_ICONWARNING, owner);
    AddPage(sheet, general);
    AddPage(sheet, advanced);
    sheet.exec();
}

void ShowPlotSourceDetails(CFormView_Scope& panel, uint32_t srcId)
{
    // One remembered page for every panel's sheet, for the life of the program.
    static int rememberedPage = 0;
    const CFormView_Scope::CPlotSrcState* state = panel.FindSourceState(srcId);
    const bool isFile = state && state->type == CFormView_Scope::kFileSource;
    CVltPropertySheet sheet(QString::fromWCharArray(kRecordedDataDetailsTitle), &panel, 0);
    sheet.HideApplyButton();
    const TQ8_RECORDED_DATA_INFO* info = nullptr;
    if (panel.GetSourceDataInfo(srcId, &info) && info) {
        if (isFile) {
            auto* general = new CRecDataCtxStdPP;
            if (general->LoadFromFile(state->path)) {
                AddPage(sheet, general);
                auto* advanced = new CRecDataCtxAdvPP;
                if (advanced->OpenContextFile(state->path))
                    AddPage(sheet, advanced);
                else
                    delete advanced;
            } else {
                delete general;
            }
        }
        if (sheet.Tabs()->count() == 0) {
            auto* general = new CRecDataCtxStdPP;
            if (general->SetRecordedDataInfo(*info))
                AddPage(sheet, general);
            else
                delete general;
        }
    }
    if (isFile) {
        auto* format = new CPlotSrcFormatPP;
        if (format->AttachSource(&panel, srcId)) {
            if (sheet.Tabs()->count() > 0 && sheet.ApplyButton())
                sheet.ApplyButton()->setVisible(true);
            AddPage(sheet, format);
        } else {
            delete format;
        }
    }
    const int pages = sheet.Tabs()->count();
    if (pages == 0) {
        vlt::ErrorBeep();
        return;
    }
    sheet.SetActivePage(rememberedPage < pages ? rememberedPage : 0);
    sheet.exec();
    rememberedPage = sheet.GetOkPageIndex();
}

void RegisterMainFrameSheets()
{
    CMainFrame::ProgramOptionsPages() = AddProgramOptionsPages;
    CMainFrame::RecordedDataDetailsCommand() = ShowRecordedDataDetails;
}
