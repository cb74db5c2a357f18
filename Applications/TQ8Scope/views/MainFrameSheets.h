#pragma once
// The property sheets of the main frame's "Program Options..." and
// "Recorded Data Details..." commands and of the scope panel's source
// details.
#include <cstdint>

class CFormView_Scope;
class CMainApp;
class CVltPropertySheet;
class QWidget;

inline constexpr wchar_t kRecordedDataDetailsTitle[] = L"Veltrane Recorded Data Details";

void AddProgramOptionsPages(CVltPropertySheet& sheet, CMainApp& app);
// Asks for a sample file and shows its details.
void ShowRecordedDataDetails(QWidget* owner);
// The details of one of the panel's plot sources.
void ShowPlotSourceDetails(CFormView_Scope& panel, uint32_t srcId);
// Gives the main frame its two sheets; once at program start-up.
void RegisterMainFrameSheets();
