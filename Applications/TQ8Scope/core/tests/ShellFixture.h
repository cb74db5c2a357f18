#pragma once
// An application object on a private program folder and registry, with the
// fake workspace and documents.
#include <memory>

#include "CMainApp.h"
#include "CMainFrame.h"
#include "ShellFakes.h"
#include "TestApp.h"
#include "TextConv.h"

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        App();
        m_dir = std::make_unique<ScratchDir>();
        setenv("VLT_REGISTRY_DIR", (m_dir->Str() + "/registry").c_str(), 1);
        app = std::make_unique<CMainApp>();
        app->SetProgramFolder(vlt::Utf8ToWide(m_dir->Str()));
    }
    void TearDown() override
    {
        app.reset();
        unsetenv("VLT_REGISTRY_DIR");
        m_dir.reset();
    }
    // Replaces the workspace and the documents by the fakes.
    FakeWorkspace& UseFakes()
    {
        auto ws = std::make_unique<FakeWorkspace>(*app);
        FakeWorkspace& ref = *ws;
        app->SetWorkspace(std::move(ws));
        app->SetDocumentFactory([this](TQ8_HANDLE d, uint32_t flags) {
            auto doc = std::make_unique<FakeDoc>(*app, d, flags);
            docs.push_back(doc.get());
            return doc;
        });
        return ref;
    }
    std::wstring Folder() const { return vlt::Utf8ToWide(m_dir->Str()); }
    const ScratchDir& Dir() const { return *m_dir; }

    std::unique_ptr<ScratchDir> m_dir;
    std::unique_ptr<CMainApp> app;
    std::vector<FakeDoc*> docs;
};
