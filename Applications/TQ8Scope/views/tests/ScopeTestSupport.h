#pragma once
// The scope view and panel on a simulated board: the built plot library is
// registered in the test's private registry, and the view's posted initial
// update is delivered so that the panel connects to the control.
#include <dlfcn.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <QAbstractButton>

#include "BoardWindowForms.h"
#include "CChildFrame.h"
#include "CFormView_Scope.h"
#include "CMainApp.h"
#include "CScopeView.h"
#include "FormTestSupport.h"
#include "InprocServer.h"
#include "TQ8Sim.h"
#include "TextConv.h"

namespace scope_test {

// Registers the plot library for the life of the process: the runtime keeps
// the library loaded once a control was made.
inline bool RegisterPlotLibrary()
{
    void* lib = dlopen(TQ8UI_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    auto reg = lib ? reinterpret_cast<PfnDllRegisterServer>(dlsym(lib, "DllRegisterServer")) : nullptr;
    return reg && reg() == S_OK;
}

class ScopeTest : public form_test::FormTest {
protected:
    void SetUp() override
    {
        FormTest::SetUp();
        ASSERT_TRUE(RegisterPlotLibrary());
    }
    void TearDown() override
    {
        host.reset();
        FormTest::TearDown();
    }
    // A view and a panel of one document in a shown window; registered
    // false: the view meets no plot library.
    void Build(form_test::FormDoc& doc, bool registered = true)
    {
        if (!registered)
            UnregisterPlotLibrary();
        host = std::make_unique<QWidget>();
        host->resize(900, 640);
        panel = new CFormView_Scope(doc, host.get());
        panel->OnInitialUpdate();
        view = new CScopeView(doc, host.get());
        view->setGeometry(0, 0, 900, 300);
        panel->setGeometry(0, 300, 900, 340);
        host->show();
        view->Create();
        doc_test::PumpUntil([this] { return doc_ready(); });
    }
    void UnregisterPlotLibrary()
    {
        void* lib = dlopen(TQ8UI_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
        auto unreg = lib ? reinterpret_cast<PfnDllUnregisterServer>(dlsym(lib, "DllUnregisterServer")) : nullptr;
        if (unreg)
            unreg();
    }
    bool doc_ready() const { return view && view->GetDocument().GetScopeView() == view; }
    IScopeTQ8* Control() const { return view->GetControl(); }
    // Clicks the panel's button with the template id.
    void ItemClick(int id)
    {
        auto* button = panel->findChild<QAbstractButton*>(QString::number(id));
        ASSERT_NE(button, nullptr);
        button->click();
    }

    std::unique_ptr<QWidget> host;
    CScopeView* view = nullptr;
    CFormView_Scope* panel = nullptr;
};

// The program itself on simulated boards, in a folder and registry of the
// test's own, with the built plot library and the board windows' forms.
class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        App();
        const char* base = std::getenv("VLT_TEST_TMP");
        m_dir = std::filesystem::path(base ? base : "/tmp") / ("program_" + std::to_string(getpid()));
        std::filesystem::create_directories(m_dir);
        setenv("VLT_REGISTRY_DIR", (m_dir / "registry").c_str(), 1);
        TQ8Sim_Reset();
        TQ8Sim_SetTimeFactor(0.001);
        ASSERT_TRUE(RegisterPlotLibrary());
        m_panes = CChildFrame::Panes();
        m_pages = CChildFrame::PageTable();
        RegisterBoardWindowForms();
    }
    void TearDown() override
    {
        app.reset();
        CChildFrame::Panes() = m_panes;
        CChildFrame::PageTable() = m_pages;
        TQ8Sim_Reset();
        unsetenv("VLT_REGISTRY_DIR");
        std::filesystem::remove_all(m_dir);
    }
    // Starts the program with the command line; false when start-up failed.
    bool StartProgram(const std::vector<std::wstring>& args)
    {
        app = std::make_unique<CMainApp>();
        app->SetProgramFolder(vlt::Utf8ToWide(m_dir.string()));
        return app->StartUp(args);
    }

    std::unique_ptr<CMainApp> app;
    std::filesystem::path m_dir;

private:
    CChildFrame::PaneFactories m_panes;
    std::array<CChildFrame::PageEntry, CChildFrame::kPageCount> m_pages;
};

} // namespace scope_test
