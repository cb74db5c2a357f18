#pragma once
// The scope view and panel on a simulated board: the built plot library is
// registered in the test's private registry, and the view's posted initial
// update is delivered so that the panel connects to the control.
#include <dlfcn.h>

#include <memory>

#include <QAbstractButton>

#include "CFormView_Scope.h"
#include "CScopeView.h"
#include "FormTestSupport.h"
#include "InprocServer.h"

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

} // namespace scope_test
